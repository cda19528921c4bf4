// Where the program's own data (skins, the help page) is found.
#pragma once

#include <string>
#include <vector>

namespace vidora {

// The user's own data folder: $XDG_DATA_HOME/vidora3gp, else
// ~/.local/share/vidora3gp. Skins added there need no root.
std::string UserDataFolder();

// The folders that may hold skin folders, the first one winning for a name:
// the user's, "Skins" beside the program, the data folder of a relocated or
// installed copy (../share/vidora3gp/Skins beside the program, then the
// install prefix), and the source tree for a program run from its build.
std::vector<std::string> SkinRoots();

// The program's data file `name` (such as "help.html") beside the program, in
// a relocated or installed copy's data folder, or in the source tree for a
// program run from its build; empty when none holds it.
std::string FindDataFile(const std::string& name);

}  // namespace vidora
