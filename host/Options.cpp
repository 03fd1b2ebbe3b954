#include "host/Options.h"

namespace lyrebox::host {

const char* const kUsage =
    "usage: lyrebox-player [--headless] [--play] [--plugin PATH] [FILE|FOLDER ...]\n"
    "  --headless     run without the terminal interface\n"
    "  --play         start playing the play list kept from the last run\n"
    "  --plugin PATH  load this plugin instead of the plugins folder (may be repeated)\n"
    "Without files, the play list, volume, shuffle and repeat of the last run come back\n"
    "($XDG_STATE_HOME/lyrebox/playlist.m3u8); files and folders given replace the play list.\n";

bool parseOptions(const std::vector<std::string>& args, Options& options, std::string& error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--headless") {
            options.headless = true;
        } else if (a == "--play") {
            options.play = true;
        } else if (a == "--plugin") {
            if (i + 1 >= args.size()) {
                error = "--plugin needs a path";
                return false;
            }
            options.plugins.push_back(args[++i]);
        } else if (a == "--help" || a == "-h") {
            options.help = true;
        } else if (a == "--") {
            options.media.insert(options.media.end(), args.begin() + static_cast<long>(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else {
            options.media.push_back(a);
        }
    }
    return true;
}

}  // namespace lyrebox::host
