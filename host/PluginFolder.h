// Where the player loads its plugins from. Run from its build tree, that is
// the "plugins" folder beside the executable. Installed (bin/lyrebox-player
// with the plugins in lib/lyrebox/plugins), every user gets a folder of their
// own, $XDG_DATA_HOME/lyrebox/plugins (~/.local/share/lyrebox/plugins), with
// a symbolic link to each installed plugin, so each plugin's settings file
// and index, kept beside the module, are the user's own and writable.
//
// Called on the main thread before plugins load.
#pragma once

#include <string>
#include <vector>

namespace lyrebox::host {

struct PluginFolderChoice {
    std::string folder;               // where to look for gen_*.so
    std::vector<std::string> linked;  // links made by this call (first start)
    std::string problem;              // why the user folder could not be set up
};

// exeFolder: the folder of the running executable. installedRelative: the
// installed plugins folder relative to it ("../lib/lyrebox/plugins").
PluginFolderChoice choosePluginFolder(const std::string& exeFolder, const std::string& installedRelative);

// $XDG_DATA_HOME/lyrebox/plugins, or ~/.local/share/lyrebox/plugins; empty
// when neither is known.
std::string userPluginFolder();

}  // namespace lyrebox::host
