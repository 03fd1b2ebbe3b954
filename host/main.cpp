// lyrebox-player: loads general-purpose plugins and runs the player's window
// thread until SIGINT or SIGTERM, then lets every plugin quit.
#include "host/HostWindow.h"
#include "host/Options.h"
#include "host/PluginLoader.h"
#include "platform/MessageLoop.h"
#include "platform/Module.h"

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace {

using namespace lyrebox::host;

// Many browsers keep many connections open; give the server all the
// descriptors the system allows this process.
void raiseOpenFileLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

std::string pluginsFolder() {
    std::string exe = platform::moduleFileName(reinterpret_cast<const void*>(&pluginsFolder));
    auto slash = exe.rfind('/');
    return (slash == std::string::npos ? std::string(".") : exe.substr(0, slash)) + "/plugins";
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    std::string error;
    if (!parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "lyrebox-player: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    raiseOpenFileLimit();
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t quitSignals;
    sigemptyset(&quitSignals);
    sigaddset(&quitSignals, SIGINT);
    sigaddset(&quitSignals, SIGTERM);
    // Blocked before any thread starts, so only the signalfd ever sees them.
    pthread_sigmask(SIG_BLOCK, &quitSignals, nullptr);
    int signalFd = ::signalfd(-1, &quitSignals, SFD_CLOEXEC | SFD_NONBLOCK);

    auto& loop = platform::MessageLoop::current();
    HostWindow window;

    std::vector<std::unique_ptr<LoadedPlugin>> plugins;
    auto paths = options.plugins.empty() ? findPlugins(pluginsFolder()) : options.plugins;
    for (const auto& path : paths) {
        auto plugin = LoadedPlugin::load(path, error);
        if (!plugin) {
            std::fprintf(stderr, "lyrebox-player: %s\n", error.c_str());
            continue;
        }
        plugin->init(window.handle());
        plugins.push_back(std::move(plugin));
    }
    std::fprintf(stderr, "lyrebox-player: running with %zu plugin(s); SIGINT or SIGTERM quits\n", plugins.size());

    loop.addFd(signalFd, [&] {
        signalfd_siginfo info;
        while (::read(signalFd, &info, sizeof info) == sizeof info) {
        }
        loop.quit();
    });
    loop.run();
    loop.removeFd(signalFd);

    // Plugins quit in the reverse order of their start.
    while (!plugins.empty()) {
        plugins.back()->quit();
        plugins.pop_back();
    }
    ::close(signalFd);
    return 0;
}
