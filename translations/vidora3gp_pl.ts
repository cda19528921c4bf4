<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="pl_PL" sourcelanguage="en">
<context>
    <name>TFitWords</name>
    <message>
        <source>None</source>
        <translation>Bez ograniczenia</translation>
    </message>
    <message>
        <source>Split into %1 parts</source>
        <translation>Podziel na części po %1</translation>
    </message>
    <message>
        <source>in %1 parts</source>
        <translation>części po %1</translation>
    </message>
    <message>
        <source>at most %1</source>
        <translation>najwyżej %1</translation>
    </message>
    <message>
        <source>about %1</source>
        <translation>około %1</translation>
    </message>
    <message>
        <source>%1 holds less than a second of this film.</source>
        <translation>%1 mieści mniej niż sekundę tego filmu.</translation>
    </message>
    <message>
        <source>%1 holds about %2 s of this film.</source>
        <translation>%1 mieści około %2 s tego filmu.</translation>
    </message>
    <message>
        <source>%1 holds about %2 min of this film.</source>
        <translation>%1 mieści około %2 min tego filmu.</translation>
    </message>
    <message>
        <source>Choose “%1” or a larger size.</source>
        <translation>Wybierz „%1” albo większy rozmiar.</translation>
    </message>
    <message>
        <source>Choose “%1”.</source>
        <translation>Wybierz „%1”.</translation>
    </message>
    <message>
        <source>A part of %1 cannot hold even a second of this film.</source>
        <translation>Część o rozmiarze %1 nie pomieści nawet sekundy tego filmu.</translation>
    </message>
    <message>
        <source>Even at the lowest quality this film&apos;s picture needs more than %1.</source>
        <translation>Nawet w najniższej jakości obraz filmu zajmie ponad %1.</translation>
    </message>
    <message>
        <source>Choose a larger size.</source>
        <translation>Wybierz większy rozmiar.</translation>
    </message>
</context>
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
    <message>
        <source>it breaks off at %1 s; what comes before is converted</source>
        <translation>urywa się po %1 s; wcześniejsza część została przekonwertowana</translation>
    </message>
    <message>
        <source>no picture or sound could be found in it</source>
        <translation>nie znaleziono w nim obrazu ani dźwięku</translation>
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
    <name>vidora::app::TShortcutsPage</name>
    <message>
        <source>Keyboard shortcuts</source>
        <translation>Skróty klawiszowe</translation>
    </message>
    <message>
        <source>add a film</source>
        <translation>dodaj film</translation>
    </message>
    <message>
        <source>add subtitles</source>
        <translation>dodaj napisy</translation>
    </message>
    <message>
        <source>convert</source>
        <translation>konwertuj</translation>
    </message>
    <message>
        <source>pause, resume</source>
        <translation>pauza, wznów</translation>
    </message>
    <message>
        <source>seek 5 s</source>
        <translation>przewiń o 5 s</translation>
    </message>
    <message>
        <source>volume</source>
        <translation>głośność</translation>
    </message>
    <message>
        <source>this view</source>
        <translation>ten widok</translation>
    </message>
    <message>
        <source>next page</source>
        <translation>następna strona</translation>
    </message>
    <message>
        <source>the log</source>
        <translation>dziennik</translation>
    </message>
    <message>
        <source>next key</source>
        <translation>następny klawisz</translation>
    </message>
    <message>
        <source>close</source>
        <translation>zamknij</translation>
    </message>
    <message>
        <source>Keyboard</source>
        <translation>Klawiatura</translation>
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
    <message>
        <source>Add a film</source>
        <translation>Dodaj film</translation>
    </message>
    <message>
        <source>Add a film to convert (%1)</source>
        <translation>Dodaj film do konwersji (%1)</translation>
    </message>
    <message>
        <source>Add subtitles</source>
        <translation>Dodaj napisy</translation>
    </message>
    <message>
        <source>Add subtitles to the film (%1)</source>
        <translation>Dodaj napisy do filmu (%1)</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Konwertuj</translation>
    </message>
    <message>
        <source>Convert the film for the phone (%1)</source>
        <translation>Konwertuj film dla telefonu (%1)</translation>
    </message>
    <message>
        <source>Pause converting</source>
        <translation>Wstrzymaj konwersję</translation>
    </message>
    <message>
        <source>Pause converting (%1)</source>
        <translation>Wstrzymaj konwersję (%1)</translation>
    </message>
    <message>
        <source>Resume converting</source>
        <translation>Wznów konwersję</translation>
    </message>
    <message>
        <source>Resume converting (%1)</source>
        <translation>Wznów konwersję (%1)</translation>
    </message>
    <message>
        <source>Play the preview</source>
        <translation>Odtwórz podgląd</translation>
    </message>
    <message>
        <source>Play the preview (%1)</source>
        <translation>Odtwórz podgląd (%1)</translation>
    </message>
    <message>
        <source>Pause the preview</source>
        <translation>Wstrzymaj podgląd</translation>
    </message>
    <message>
        <source>Pause the preview (%1)</source>
        <translation>Wstrzymaj podgląd (%1)</translation>
    </message>
    <message>
        <source>Stop the preview</source>
        <translation>Zatrzymaj podgląd</translation>
    </message>
    <message>
        <source>Stop the preview and go back to its start</source>
        <translation>Zatrzymaj podgląd i wróć do jego początku</translation>
    </message>
    <message>
        <source>Volume up</source>
        <translation>Głośniej</translation>
    </message>
    <message>
        <source>Preview volume up (%1)</source>
        <translation>Głośniej w podglądzie (%1)</translation>
    </message>
    <message>
        <source>Volume down</source>
        <translation>Ciszej</translation>
    </message>
    <message>
        <source>Preview volume down (%1)</source>
        <translation>Ciszej w podglądzie (%1)</translation>
    </message>
    <message>
        <source>High quality</source>
        <translation>Wysoka jakość</translation>
    </message>
    <message>
        <source>Convert in high quality</source>
        <translation>Konwertuj w wysokiej jakości</translation>
    </message>
    <message>
        <source>Low quality</source>
        <translation>Niska jakość</translation>
    </message>
    <message>
        <source>Convert in low quality: a smaller file</source>
        <translation>Konwertuj w niskiej jakości: mniejszy plik</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Informacje</translation>
    </message>
    <message>
        <source>How to convert, and the keyboard&apos;s shortcuts (%1)</source>
        <translation>Jak konwertować i skróty klawiszowe (%1)</translation>
    </message>
    <message>
        <source>Phones and settings</source>
        <translation>Telefony i ustawienia</translation>
    </message>
    <message>
        <source>Choose the phone to convert for</source>
        <translation>Wybierz telefon, dla którego konwertować</translation>
    </message>
    <message>
        <source>Minimise</source>
        <translation>Minimalizuj</translation>
    </message>
    <message>
        <source>Minimise the window</source>
        <translation>Minimalizuj okno</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zamknij</translation>
    </message>
    <message>
        <source>Close the program (%1)</source>
        <translation>Zamknij program (%1)</translation>
    </message>
    <message>
        <source>Burn the subtitles into the picture, or leave them out</source>
        <translation>Wtop napisy w obraz albo je pomiń</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Postęp</translation>
    </message>
    <message>
        <source>Progress of the conversion or the preview</source>
        <translation>Postęp konwersji albo podglądu</translation>
    </message>
    <message>
        <source>Burn in subtitles: on</source>
        <translation>Wtapianie napisów: włączone</translation>
    </message>
    <message>
        <source>Burn in subtitles: off</source>
        <translation>Wtapianie napisów: wyłączone</translation>
    </message>
    <message>
        <source>Keys ›</source>
        <translation>Klawisze ›</translation>
    </message>
    <message>
        <source>‹ Back</source>
        <translation>‹ Wstecz</translation>
    </message>
    <message>
        <source>Keyboard shortcuts</source>
        <translation>Skróty klawiszowe</translation>
    </message>
    <message>
        <source>How to convert</source>
        <translation>Jak to zrobić</translation>
    </message>
    <message>
        <source>Fit into</source>
        <translation>Zmieść w rozmiarze</translation>
    </message>
    <message>
        <source>Done: %1 parts, %2</source>
        <translation>Gotowe: %1 części, %2</translation>
    </message>
    <message>
        <source>Stopped: %1 parts, %2</source>
        <translation>Przerwano: %1 części, %2</translation>
    </message>
    <message>
        <source>Converted: %1 parts, %2</source>
        <translation>Przekonwertowano: %1 części, %2</translation>
    </message>
    <message>
        <source>Part %1/%2, pass %3/%4: </source>
        <translation>Część %1/%2, przebieg %3/%4: </translation>
    </message>
    <message>
        <source>Part %1/%2: </source>
        <translation>Część %1/%2: </translation>
    </message>
    <message>
        <source>Pass %1/%2: </source>
        <translation>Przebieg %1/%2: </translation>
    </message>
    <message>
        <source>Stop converting? The parts made so far are kept.</source>
        <translation>Przerwać konwersję? Zrobione dotąd części zostaną zachowane.</translation>
    </message>
    <message>
        <source>Stop converting? Nothing is kept: a file that must fit a size is written at its end.</source>
        <translation>Przerwać konwersję? Nic nie zostanie zachowane: plik, który ma zmieścić się w rozmiarze, jest zapisywany na końcu.</translation>
    </message>
    <message>
        <source>Kept: %1</source>
        <translation>Zachowano: %1</translation>
    </message>
</context>
</TS>
