#include "tests/support/PlayerProcess.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace lyrebox::test {

namespace {

const std::string kBuildDir = LYREBOX_BUILD_DIR;

std::vector<std::string> environment(const PlayerProcess::Setup& setup, const std::string& stateHome) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string pair = *e;
        const auto eq = pair.find('=');
        if (eq != std::string::npos) env[pair.substr(0, eq)] = pair.substr(eq + 1);
    }
    env["XDG_STATE_HOME"] = stateHome;
    env["LYREBOX_AUDIO"] = "null";
    env["GST_REGISTRY"] = kBuildDir + "/gst-registry.bin";
    for (const auto& [key, value] : setup.env) {
        if (value.empty()) env.erase(key);
        else env[key] = value;
    }
    std::vector<std::string> out;
    for (const auto& [key, value] : env) out.push_back(key + "=" + value);
    return out;
}

// The port of the first address in "web app at http://A:P/...", 0 when the
// line is not there.
std::uint16_t saidPort(const std::string& said) {
    const std::string lead = "web app at http://";
    const auto at = said.find(lead);
    if (at == std::string::npos) return 0;
    const auto colon = said.find(':', at + lead.size());
    return colon == std::string::npos ? 0 : static_cast<std::uint16_t>(std::atoi(said.c_str() + colon + 1));
}

}  // namespace

PlayerProcess::PlayerProcess(const std::string& iniLines)
    : PlayerProcess(Setup{.iniLines = iniLines, .listenIP = "0.0.0.0"}) {}

PlayerProcess::PlayerProcess(Setup setup) : setup_(std::move(setup)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "lyrebox-player-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    const std::string folder = setup_.pluginFolder.empty() ? dir_ : setup_.pluginFolder;
    std::vector<std::string> args = {kBuildDir + "/lyrebox-player", "--headless", "--plugin"};
    if (setup_.plugin) {
        std::filesystem::create_directories(folder);
        const std::string plugin = folder + "/gen_lyrebox.so";
        if (!std::filesystem::exists(plugin)) std::filesystem::copy_file(kBuildDir + "/plugins/gen_lyrebox.so", plugin);
        std::ofstream(folder + "/gen_lyrebox.ini", std::ios::binary)
            << "[Lyrebox Remote Control Plugin v1.0]\r\nlistenIP=" << setup_.listenIP << "\r\nlistenPort=" << setup_.port
            << "\r\n" << setup_.iniLines;
        args.push_back(plugin);
    } else {
        args.push_back(dir_ + "/no-plugin.so");
    }
    args.insert(args.end(), setup_.args.begin(), setup_.args.end());
    start(args, 2, environment(setup_, setup_.stateHome.empty() ? dir_ + "/state" : setup_.stateHome));
    waitFor("running with");
}

PlayerProcess::~PlayerProcess() {
    kill();  // before its folder goes
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::uint16_t PlayerProcess::port() {
    if (setup_.port != 0) return static_cast<std::uint16_t>(setup_.port);
    return saidPort(waitUntil(
        [](const std::string& said) {
            return saidPort(said) != 0 || said.find("web app not running") != std::string::npos;
        },
        kSayLimit));
}

platform::Socket PlayerProcess::connect(const char* from) {
    const std::uint16_t listening = port();
    return listening == 0 ? platform::Socket() : connectFrom(from, listening);
}

Answer PlayerProcess::ask(const std::string& target, const std::string& headers, const char* from) {
    platform::Socket socket = connect(from);
    sendText(socket, getRequest(target, headers));
    return readAnswer(socket);
}

std::string PlayerProcess::get(const std::string& target) {
    const Answer answer = ask(target, "Host: 127.0.0.1\r\n");
    return answer.complete ? answer.body : "(no answer)";
}

}  // namespace lyrebox::test
