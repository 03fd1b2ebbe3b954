// One run of the real player, headless, for the process tests: a folder of
// its own with a private copy of the plugin and its INI, its own state
// folder, silent audio, its standard error read as ChildProcess reads it.
// The kernel picks the web app's port (listenPort=0) and the player says
// which on standard error; connections wait for that line, not for a while.
#pragma once

#include "platform/Socket.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/RawHttp.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lyrebox::test {

class PlayerProcess : public ChildProcess {
public:
    struct Setup {
        std::string iniLines{};                  // added to the plugin's section
        std::vector<std::string> args{};         // after --headless and --plugin
        bool plugin = true;                      // false: no plugin is loaded
        std::string pluginFolder{};              // "": the run's own folder
        std::string stateHome{};                 // XDG_STATE_HOME; "": a folder of the run's own
        std::int32_t port = 0;                   // 0: the kernel picks one (any value is written)
        std::string listenIP = "127.0.0.1";
        std::map<std::string, std::string> env{};  // set ("" removes)
    };

    // Starts the player and waits until it says its plugins' init returned.
    explicit PlayerProcess(Setup setup);
    // The plugin listening on every address with iniLines in its section.
    explicit PlayerProcess(const std::string& iniLines);
    ~PlayerProcess() override;

    // The web app's port: the one set up, or the one the player said it
    // listens on (0 when it says none within the limit).
    std::uint16_t port();
    // A connection once the web app listens; not valid when it does not.
    platform::Socket connect(const char* from = "127.0.0.1");
    // A GET on a new connection from a loopback address, with the header
    // lines before "Connection: close".
    Answer ask(const std::string& target, const std::string& headers = "Host: localhost\r\n",
               const char* from = "127.0.0.1");
    // The body of a GET answer, "(no answer)" when none arrived.
    std::string get(const std::string& target);

private:
    Setup setup_;
    std::string dir_;
};

}  // namespace lyrebox::test
