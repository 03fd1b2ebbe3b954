// lyrebox-player: loads general-purpose plugins and runs the player's window
// thread until SIGINT or SIGTERM, then lets every plugin quit.
#include "host/HostWindow.h"
#include "host/Options.h"
#include "host/PluginFolder.h"
#include "host/PluginLoader.h"
#include "host/QuitWatchdog.h"
#include "host/ServiceLine.h"
#include "host/state/StateKeeper.h"
#include "host/mpris/MprisService.h"
#include "host/tui/TerminalUi.h"
#include "host/audio/ClockEngine.h"
#include "host/audio/GstEngine.h"
#include "host/player/Player.h"
#include "host/player/StartItems.h"
#include "platform/MessageLoop.h"
#include "platform/Module.h"
#include "platform/ServiceNotice.h"

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
    const std::string exeFolder = slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
    PluginFolderChoice choice = choosePluginFolder(exeFolder, LYREBOX_INSTALLED_PLUGINS);
    for (const std::string& link : choice.linked)
        std::fprintf(stderr, "lyrebox-player: set up %s (its settings are kept beside it)\n", link.c_str());
    if (!choice.problem.empty()) std::fprintf(stderr, "lyrebox-player: %s\n", choice.problem.c_str());
    return choice.folder;
}

// GStreamer playback; the silent clock only when GStreamer cannot make a player.
std::unique_ptr<lyrebox::Player> makePlayer() {
    auto tags = std::make_unique<lyrebox::TagCache>();
    std::unique_ptr<lyrebox::AudioEngine> engine = lyrebox::GstEngine::create();
    if (!engine) {
        std::fprintf(stderr, "lyrebox-player: no GStreamer playbin; playing silently by the clock\n");
        engine = std::make_unique<lyrebox::ClockEngine>(*tags);
    }
    std::fprintf(stderr, "lyrebox-player: audio output %s\n", engine->describe().c_str());
    return std::make_unique<lyrebox::Player>(std::move(engine), std::move(tags));
}

// Files named at start replace the play list and play at once, as the
// classic player does; without any, the last run's play list comes back.
void startPlayList(lyrebox::Player& player, lyrebox::StateKeeper& keeper, const Options& options) {
    if (options.media.empty()) {
        std::fprintf(stderr, "lyrebox-player: %s\n", keeper.restore().c_str());
        if (options.play) player.play();
        return;
    }
    // The volume, shuffle and repeat of the last run stay.
    lyrebox::SavedState saved;
    if (lyrebox::loadStateFile(lyrebox::stateFile(lyrebox::stateFolder()), saved) == lyrebox::LoadResult::Loaded) {
        saved.entries.clear();
        saved.current = 0;
        lyrebox::StateKeeper::apply(saved, player);
    }
    const lyrebox::StartItems items = lyrebox::expandStartItems(options.media);
    for (const std::string& missing : items.missing)
        std::fprintf(stderr, "lyrebox-player: no such file or folder: %s\n", missing.c_str());
    for (const std::string& entry : items.entries)
        player.enqueue(entry, "", 0);
    std::fprintf(stderr, "lyrebox-player: enqueued %zu file(s)\n", items.entries.size());
    if (!items.entries.empty())
        player.play();
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
    std::unique_ptr<lyrebox::Player> player = makePlayer();
    player->setMainWindow(window.handle());
    window.setDelegate([&player](platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                                 platform::LRESULT& result) {
        bool handled = false;
        if (!player)
            return false;  // only while shutting down
        result = player->handleMainMessage(message, wParam, lParam, handled);
        return handled;
    });
    const std::string folder = lyrebox::stateFolder();
    auto keeper = std::make_unique<lyrebox::StateKeeper>(*player, folder.empty() ? "" : lyrebox::stateFile(folder));
    startPlayList(*player, *keeper, options);

    // One line per notice from a plugin's service: on the terminal's status
    // line, or on standard error (the journal of a service) without one.
    std::unique_ptr<lyrebox::TerminalUi> terminal;
    const int notices = platform::subscribeServiceNotices([&terminal](const platform::ServiceNotice& notice) {
        const std::string line = serviceLine(notice, interfaceAddresses());
        if (terminal)
            terminal->setServiceLine(line);
        else
            std::fprintf(stderr, "lyrebox-player: %s\n", line.c_str());
    });

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

    // A stop request ends the player even if its window thread is stuck.
    auto watchdog = std::make_unique<QuitWatchdog>(signalFd);
    loop.addFd(signalFd, [&] {
        signalfd_siginfo info;
        while (::read(signalFd, &info, sizeof info) == sizeof info) {
        }
        watchdog->quitStarted();
        loop.quit();
    });
    // Media keys and the desktop's sound menu, where there is a session bus.
    std::unique_ptr<lyrebox::MprisService> desktop;
    if (lyrebox::MprisService::sessionBusKnown())
        desktop = std::make_unique<lyrebox::MprisService>(*player, [&loop] { loop.quit(); });
    else
        std::fprintf(stderr, "lyrebox-player: no session bus: desktop media controls are off\n");
    // On a terminal the player shows itself there, unless asked not to.
    if (!options.headless && lyrebox::TerminalUi::available())
        terminal = std::make_unique<lyrebox::TerminalUi>(window, *player);
    loop.run();
    desktop.reset();
    platform::unsubscribeServiceNotices(notices);
    terminal.reset();
    loop.removeFd(signalFd);
    keeper.reset();  // saves the play list and where it was

    // Plugins quit in the reverse order of their start.
    while (!plugins.empty()) {
        plugins.back()->quit();
        plugins.pop_back();
    }
    watchdog.reset();
    ::close(signalFd);
    return 0;
}
