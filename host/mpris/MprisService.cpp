#include "host/mpris/MprisService.h"

#include "host/audio/AudioEngine.h"
#include "host/player/Player.h"
#include "platform/Window.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace lyrebox {

namespace {

constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kBusName = "org.mpris.MediaPlayer2.lyrebox";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr platform::UINT kRunHere = platform::WM_USER + 0x4D50;

constexpr const char* kIntrospection = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="LoopStatus" type="s" access="readwrite"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Shuffle" type="b" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

// The properties whose changes are announced; Position is read, never announced.
constexpr const char* kAnnounced[] = {"PlaybackStatus", "LoopStatus", "Shuffle", "Volume", "Metadata",
                                      "CanGoNext", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"};

platform::LRESULT runHereProc(platform::HWND, platform::UINT message, platform::WPARAM wParam, platform::LPARAM) {
    if (message != kRunHere) return 0;
    (*reinterpret_cast<const std::function<void()>*>(wParam))();
    return 1;
}

GVariant* stringList(std::initializer_list<const char*> items) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
    for (const char* item : items) g_variant_builder_add(&builder, "s", item);
    return g_variant_builder_end(&builder);
}

GVariant* metadata(const PlayerView& view) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&builder, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(view.hasTrack ? view.trackId.c_str() : kNoTrack));
    if (view.hasTrack) {
        // GVariant strings must be UTF-8; tags that are not are left out.
        auto text = [&](const char* key, const std::string& value) {
            if (!value.empty() && g_utf8_validate(value.c_str(), -1, nullptr))
                g_variant_builder_add(&builder, "{sv}", key, g_variant_new_string(value.c_str()));
        };
        text("xesam:title", view.title);
        if (!view.artist.empty() && g_utf8_validate(view.artist.c_str(), -1, nullptr)) {
            const char* artists[] = {view.artist.c_str()};
            g_variant_builder_add(&builder, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
        }
        text("xesam:album", view.album);
        text("xesam:url", view.url);
        text("mpris:artUrl", view.artUrl);
        if (view.lengthUs > 0)
            g_variant_builder_add(&builder, "{sv}", "mpris:length", g_variant_new_int64(view.lengthUs));
    }
    return g_variant_builder_end(&builder);
}

// A property of the view (window thread); null for an unknown name.
GVariant* viewProperty(const PlayerView& view, const std::string& name) {
    if (name == "PlaybackStatus") return g_variant_new_string(view.status.c_str());
    if (name == "LoopStatus") return g_variant_new_string(view.loop.c_str());
    if (name == "Shuffle") return g_variant_new_boolean(view.shuffle);
    if (name == "Volume") return g_variant_new_double(view.volume);
    if (name == "Metadata") return metadata(view);
    if (name == "CanGoNext") return g_variant_new_boolean(view.canGoNext);
    if (name == "CanGoPrevious") return g_variant_new_boolean(view.canGoPrevious);
    if (name == "CanPlay" || name == "CanPause") return g_variant_new_boolean(view.hasTrack);
    if (name == "CanSeek") return g_variant_new_boolean(view.hasTrack && view.lengthUs > 0);
    if (name == "CanControl") return g_variant_new_boolean(TRUE);
    if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") return g_variant_new_double(1.0);
    return nullptr;
}

bool changed(const PlayerView& a, const PlayerView& b, const std::string& name) {
    if (name == "PlaybackStatus") return a.status != b.status;
    if (name == "LoopStatus") return a.loop != b.loop;
    if (name == "Shuffle") return a.shuffle != b.shuffle;
    if (name == "Volume") return a.volume != b.volume;
    if (name == "Metadata") return !a.sameMetadata(b) || a.hasTrack != b.hasTrack;
    if (name == "CanGoNext") return a.canGoNext != b.canGoNext;
    if (name == "CanGoPrevious") return a.canGoPrevious != b.canGoPrevious;
    if (name == "CanPlay" || name == "CanPause") return a.hasTrack != b.hasTrack;
    if (name == "CanSeek") return (a.hasTrack && a.lengthUs > 0) != (b.hasTrack && b.lengthUs > 0);
    return false;
}

GVariant* rootProperty(const std::string& name) {
    if (name == "CanQuit") return g_variant_new_boolean(TRUE);
    if (name == "CanRaise" || name == "HasTrackList") return g_variant_new_boolean(FALSE);
    if (name == "Identity") return g_variant_new_string("Lyrebox");
    if (name == "SupportedUriSchemes") return stringList({"file", "http", "https"});
    if (name == "SupportedMimeTypes")
        return stringList({"audio/mpeg", "audio/ogg", "audio/flac", "audio/x-wav", "audio/mp4", "audio/x-ms-wma"});
    return nullptr;
}

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Carries out a method on the window thread; an error text, or empty.
std::string runMethod(MprisService& service, const std::string& interface, const std::string& method,
                      GVariant* parameters) {
    Player& player = service.player();
    if (interface == kRootInterface) {
        if (method == "Quit") service.requestQuit();
        return {};
    }
    const PlayState state = player.state();
    if (method == "PlayPause") {
        if (state == PlayState::Stopped) player.play();
        else player.togglePause();
    } else if (method == "Play") {
        if (state == PlayState::Stopped) player.play();
        else if (state == PlayState::Paused) player.togglePause();
    } else if (method == "Pause") {
        if (state == PlayState::Playing) player.togglePause();
    } else if (method == "Stop") {
        player.stop();
    } else if (method == "Next") {
        player.next();
    } else if (method == "Previous") {
        player.previous();
    } else if (method == "Seek") {
        gint64 offset = 0;
        g_variant_get(parameters, "(x)", &offset);
        if (state == PlayState::Stopped) return {};
        if (player.jumpTo(std::max<std::int64_t>(player.positionMs() + offset / 1000, 0)) == 0) service.emitSeeked();
    } else if (method == "SetPosition") {
        const gchar* track = nullptr;
        gint64 position = 0;
        g_variant_get(parameters, "(&ox)", &track, &position);
        // Ignored unless it names the current track and a time within it.
        const std::int64_t length = player.lengthMs() * 1000;
        if (state == PlayState::Stopped || trackIdFor(player.current()) != track || position < 0 ||
            (length > 0 && position > length))
            return {};
        if (player.jumpTo(position / 1000) == 0) service.emitSeeked();
    } else if (method == "OpenUri") {
        const gchar* uri = nullptr;
        g_variant_get(parameters, "(&s)", &uri);
        std::string location;
        if (g_str_has_prefix(uri, "file://")) {
            gchar* path = g_filename_from_uri(uri, nullptr, nullptr);
            if (path) location = path;
            g_free(path);
            if (location.empty() || !isRegularFile(location)) return "no such file: " + std::string(uri);
        } else if (isUrlLocation(uri)) {
            location = uri;
        } else {
            return "only file, http and https locations can be opened";
        }
        if (!player.enqueue(location, "", 0)) return "cannot enqueue " + std::string(uri);
        player.setCurrent(static_cast<int>(player.playList().size()) - 1);
        player.play();
    } else {
        return "unknown method " + method;
    }
    return {};
}

void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* method,
                GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* service = static_cast<MprisService*>(data);
    std::string error;
    if (!service->onWindowThread([&] { error = runMethod(*service, interface, method, parameters); })) {
        g_dbus_method_invocation_return_dbus_error(invocation, "org.mpris.MediaPlayer2.lyrebox.Error.Closing",
                                                   "the player is quitting");
        return;
    }
    if (!error.empty())
        g_dbus_method_invocation_return_dbus_error(invocation, "org.mpris.MediaPlayer2.lyrebox.Error.Failed",
                                                   error.c_str());
    else
        g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar* interface, const gchar* name,
                      GError** error, gpointer data) {
    auto* service = static_cast<MprisService*>(data);
    GVariant* value = nullptr;
    const std::string property = name;
    const bool root = std::string(interface) == kRootInterface;
    service->onWindowThread([&] {
        if (root) value = rootProperty(property);
        else if (property == "Position") value = g_variant_new_int64(service->player().positionMs() * 1000);
        else value = viewProperty(viewPlayer(service->player()), property);
    });
    if (!value) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", name);
    return value;
}

gboolean setProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name, GVariant* value,
                     GError** error, gpointer data) {
    auto* service = static_cast<MprisService*>(data);
    const std::string property = name;
    bool known = true;
    service->onWindowThread([&] {
        Player& player = service->player();
        if (property == "LoopStatus") {
            player.setRepeat(std::string(g_variant_get_string(value, nullptr)) != "None");
        } else if (property == "Shuffle") {
            player.setShuffle(g_variant_get_boolean(value));
        } else if (property == "Volume") {
            const double level = g_variant_get_double(value);
            player.setVolume(std::isfinite(level) ? static_cast<int>(std::lround(std::clamp(level, 0.0, 1.0) * 255)) : player.volume());
        } else if (property != "Rate") {
            known = false;  // the rate stays 1.0
        }
    });
    if (!known) g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s cannot be set", name);
    return known;
}

const GDBusInterfaceVTable kVTable = {methodCall, getProperty, setProperty, {}};

void onNameAcquired(GDBusConnection*, const gchar* name, gpointer) {
    std::fprintf(stderr, "lyrebox-player: on the session bus as %s (desktop media controls)\n", name);
}

void onNameLost(GDBusConnection*, const gchar*, gpointer data) { static_cast<MprisService*>(data)->nameLost(); }

gboolean quitLoop(gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

bool MprisService::sessionBusKnown() {
    if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
    // The bus a systemd user session runs, which GDBus also finds by itself;
    // any other search would try to start a bus, which a headless server has not.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat info {};
    return runtime && *runtime && ::stat((std::string(runtime) + "/bus").c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

MprisService::MprisService(Player& player, std::function<void()> quit) : player_(player), quit_(std::move(quit)) {
    window_ = platform::createWindow(&runHereProc, this);
    listener_ = player_.addChangeListener([this] { onChange(); });
    context_ = g_main_context_new();
    mainLoop_ = g_main_loop_new(context_, FALSE);
    thread_ = std::thread([this] { runBus(); });
}

MprisService::~MprisService() {
    closing_ = true;
    player_.removeChangeListener(listener_);
    if (pending_) platform::MessageLoop::current().removeTimer(pending_);
    // Calls waiting for the window thread return at once from here on.
    platform::destroyWindow(window_);
    GSource* source = g_idle_source_new();
    g_source_set_callback(source, quitLoop, mainLoop_, nullptr);
    g_source_attach(source, context_);
    g_source_unref(source);
    thread_.join();
    g_main_loop_unref(mainLoop_);
    g_main_context_unref(context_);
}

bool MprisService::onWindowThread(const std::function<void()>& fn) {
    if (closing_) return false;
    bool ran = false;
    const std::function<void()> wrapped = [&] {
        fn();
        ran = true;
    };
    platform::sendMessage(window_, kRunHere, reinterpret_cast<platform::WPARAM>(&wrapped), 0);
    return ran;
}

void MprisService::runBus() {
    g_main_context_push_thread_default(context_);
    GError* error = nullptr;
    GDBusConnection* connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    GDBusNodeInfo* node = connection ? g_dbus_node_info_new_for_xml(kIntrospection, &error) : nullptr;
    if (!connection || !node) {
        std::fprintf(stderr, "lyrebox-player: no session bus (%s): desktop media controls are off\n",
                     error ? error->message : "unknown");
        g_clear_error(&error);
        if (connection) g_object_unref(connection);
        g_main_context_pop_thread_default(context_);
        return;
    }
    // A bus that goes away must not take the player with it.
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    const guint root = g_dbus_connection_register_object(connection, kObjectPath, node->interfaces[0], &kVTable,
                                                         this, nullptr, nullptr);
    const guint player = g_dbus_connection_register_object(connection, kObjectPath, node->interfaces[1], &kVTable,
                                                           this, nullptr, nullptr);
    busAcquired(connection);
    const guint owner = g_bus_own_name_on_connection(connection, kBusName, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                                     onNameAcquired, onNameLost, this, nullptr);
    if (!closing_) g_main_loop_run(mainLoop_);
    g_bus_unown_name(owner);
    if (instanceOwner_) g_bus_unown_name(instanceOwner_);
    if (root) g_dbus_connection_unregister_object(connection, root);
    if (player) g_dbus_connection_unregister_object(connection, player);
    {
        std::lock_guard lock(mutex_);
        connection_ = nullptr;
    }
    g_dbus_connection_flush_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(context_);
}

void MprisService::busAcquired(GDBusConnection* connection) {
    std::lock_guard lock(mutex_);
    connection_ = connection;
}

void MprisService::nameLost() {
    // Another player holds the name: take one of this process's own, as the
    // desktop's clients expect of a second instance.
    if (instanceOwner_ || closing_) return;
    std::lock_guard lock(mutex_);
    if (!connection_) return;
    const std::string instance = std::string(kBusName) + ".instance" + std::to_string(::getpid());
    instanceOwner_ = g_bus_own_name_on_connection(connection_, instance.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
                                                  onNameAcquired, nullptr, nullptr, nullptr);
}

void MprisService::onChange() {
    // One announcement for a burst of changes (a play list of many entries).
    if (pending_) return;
    pending_ = platform::MessageLoop::current().addTimer(std::chrono::milliseconds(0), [this] {
        platform::MessageLoop::current().removeTimer(pending_);
        pending_ = 0;
        announceChanges();
    });
}

void MprisService::announceChanges() {
    const PlayerView view = viewPlayer(player_);
    std::lock_guard lock(mutex_);
    if (!connection_) return;
    GVariantBuilder changes;
    g_variant_builder_init(&changes, G_VARIANT_TYPE("a{sv}"));
    bool any = false;
    for (const char* name : kAnnounced) {
        if (!changed(view, announced_, name)) continue;
        g_variant_builder_add(&changes, "{sv}", name, viewProperty(view, name));
        any = true;
    }
    announced_ = view;
    if (!any) {
        g_variant_builder_clear(&changes);
        return;
    }
    const gchar* invalidated[] = {nullptr};
    g_dbus_connection_emit_signal(connection_, nullptr, kObjectPath, "org.freedesktop.DBus.Properties",
                                  "PropertiesChanged",
                                  g_variant_new("(s@a{sv}^as)", kPlayerInterface, g_variant_builder_end(&changes),
                                                invalidated),
                                  nullptr);
}

void MprisService::emitSeeked() {
    const std::int64_t position = player_.positionMs() * 1000;
    std::lock_guard lock(mutex_);
    if (!connection_) return;
    g_dbus_connection_emit_signal(connection_, nullptr, kObjectPath, kPlayerInterface, "Seeked",
                                  g_variant_new("(x)", static_cast<gint64>(position)), nullptr);
}

}  // namespace lyrebox
