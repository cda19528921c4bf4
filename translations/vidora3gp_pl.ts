<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>TPlainWords</name>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>there is no such file</source>
        <translation>nie ma takiego pliku</translation>
    </message>
    <message>
        <source>no subtitles found in %1</source>
        <translation>w pliku %1 nie znaleziono napisów</translation>
    </message>
    <message>
        <source>%1: no picture could be read from it; %2 holds only its sound</source>
        <translation>%1: nie udało się odczytać obrazu; %2 zawiera tylko dźwięk</translation>
    </message>
    <message>
        <source>%1: no sound could be read from it; %2 holds only its picture</source>
        <translation>%1: nie udało się odczytać dźwięku; %2 zawiera tylko obraz</translation>
    </message>
    <message>
        <source>the folder beside it is gone</source>
        <translation>jego folder już nie istnieje</translation>
    </message>
    <message>
        <source>no permission to write next to it</source>
        <translation>brak uprawnień do zapisu w jego folderze</translation>
    </message>
    <message>
        <source>no permission to read it</source>
        <translation>brak uprawnień do jego odczytu</translation>
    </message>
    <message>
        <source>the disk is full</source>
        <translation>dysk jest pełny</translation>
    </message>
    <message>
        <source>the file is empty</source>
        <translation>plik jest pusty</translation>
    </message>
    <message>
        <source>the encoder refuses this phone&apos;s settings</source>
        <translation>koder nie przyjmuje ustawień tego telefonu</translation>
    </message>
    <message>
        <source>the file is cut short</source>
        <translation>plik jest ucięty</translation>
    </message>
    <message>
        <source>not a video or sound file</source>
        <translation>to nie jest plik wideo ani dźwiękowy</translation>
    </message>
    <message>
        <source>the FFmpeg libraries cannot be loaded: %1</source>
        <translation>nie można wczytać bibliotek FFmpeg: %1</translation>
    </message>
</context>
<context>
    <name>vidora::app::TLogWindow</name>
    <message>
        <source>Vidora to 3GP: log</source>
        <translation>Vidora to 3GP: dziennik</translation>
    </message>
    <message>
        <source>Log level</source>
        <translation>Poziom dziennika</translation>
    </message>
    <message>
        <source>Quiet</source>
        <translation>Bez komunikatów</translation>
    </message>
    <message>
        <source>Panic</source>
        <translation>Panika</translation>
    </message>
    <message>
        <source>Fatal</source>
        <translation>Błędy krytyczne</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Błędy</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Ostrzeżenia</translation>
    </message>
    <message>
        <source>Info</source>
        <translation>Informacje</translation>
    </message>
    <message>
        <source>Verbose</source>
        <translation>Szczegóły</translation>
    </message>
    <message>
        <source>Debug</source>
        <translation>Debugowanie</translation>
    </message>
</context>
<context>
    <name>vidora::app::TPreviewWindow</name>
    <message>
        <source>Preview</source>
        <translation>Podgląd</translation>
    </message>
</context>
<context>
    <name>vidora::app::TfrmMain</name>
    <message>
        <source>Video/Audio Files</source>
        <translation>Pliki Wideo i Audio</translation>
    </message>
    <message>
        <source>Video Files</source>
        <translation>Pliki Wideo</translation>
    </message>
    <message>
        <source>Audio Files</source>
        <translation>Pliki Audio</translation>
    </message>
    <message>
        <source>All Files</source>
        <translation>Wszystkie Pliki</translation>
    </message>
    <message>
        <source>Subtitle Files</source>
        <translation>Teksty do Filmów</translation>
    </message>
    <message>
        <source>Mirvo - Choose Subtitles</source>
        <translation>Mirvo - Wybierz Tekst</translation>
    </message>
    <message>
        <source>Reading subtitles…</source>
        <translation>Wczytywanie napisów…</translation>
    </message>
    <message>
        <source>%1 % – %2</source>
        <translation>%1% – %2</translation>
    </message>
    <message>
        <source>Done: %1</source>
        <translation>Gotowe: %1</translation>
    </message>
    <message>
        <source>Stopped: %1</source>
        <translation>Przerwano: %1</translation>
    </message>
    <message>
        <source>Converted: %1, %2</source>
        <translation>Przekonwertowano: %1, %2</translation>
    </message>
    <message>
        <source>%1
Click or press Enter to open its folder</source>
        <translation>%1
Kliknij lub naciśnij Enter, aby otworzyć jego folder</translation>
    </message>
    <message>
        <source>Stop converting? What is done so far is kept in %1.</source>
        <translation>Przerwać konwersję? Część przekonwertowana do tej pory zostanie zachowana w %1.</translation>
    </message>
    <message>
        <source>Stop converting</source>
        <translation>Przerwij konwersję</translation>
    </message>
    <message>
        <source>Keep converting</source>
        <translation>Kontynuuj konwersję</translation>
    </message>
    <message>
        <source>%1
is converted to %2</source>
        <translation>%1
konwersja do %2</translation>
    </message>
    <message>
        <source>%1 cannot be used: it does not say what its phone plays</source>
        <translation>Nie można użyć %1: nie podaje, co odtwarza jego telefon</translation>
    </message>
    <message>
        <source>Progress: </source>
        <extracomment>Stands before the percentage done: keep the space at its end.</extracomment>
        <translation>Postęp: </translation>
    </message>
    <message>
        <source>Always on top</source>
        <translation>Zawsze na wierzchu</translation>
    </message>
    <message>
        <source>Get Your Phone</source>
        <translation>Pobierz Swój Telefon</translation>
    </message>
</context>
</TS>
