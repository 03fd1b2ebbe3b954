// The player's command line: lyrebox-player [--headless] [--play] [--plugin PATH] [FILE|FOLDER ...]
#pragma once

#include <string>
#include <vector>

namespace lyrebox::host {

struct Options {
    bool headless = false;
    bool play = false;                 // --play: start playing the restored play list
    std::vector<std::string> plugins;  // --plugin PATH, in order; empty: the plugins folder
    std::vector<std::string> media;    // files and folders to enqueue at start
    bool help = false;
};

// Parses argv (without the program name); on a bad argument returns false and
// sets error.
bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error);

extern const char* const kUsage;

}  // namespace lyrebox::host
