#include "host/player/Player.h"
#include "platform/player/PlaylistLimits.h"

#include "platform/Window.h"

#include <algorithm>
#include <cstdio>

namespace lyrebox {

Player::Player(std::unique_ptr<AudioEngine> engine, std::unique_ptr<TagCache> tags)
    : Player(std::move(engine), std::move(tags), Options{}) {}

Player::Player(std::unique_ptr<AudioEngine> engine, std::unique_ptr<TagCache> tags, Options options)
    : tags_(std::move(tags)), engine_(std::move(engine)), volume_(std::clamp(options.volume, 0, 255)),
      random_(options.shuffleSeed) {
    engine_->setCallbacks({[this] { onTrackEnded(); }, [this] { onTrackFailed(); }});
    engine_->setVolume(volume_);
    editorWindow_ = platform::createWindow(
        [](platform::HWND window, platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam) {
            auto* player = static_cast<Player*>(platform::windowUserData(window));
            bool handled = false;
            return player ? player->handleEditorMessage(message, wParam, lParam, handled) : 0;
        },
        this);
}

Player::~Player() {
    engine_->setCallbacks({});
    engine_->stop();
    if (editorWindow_)
        platform::destroyWindow(editorWindow_);
}

void Player::changed() {
    if (changeListener_)
        changeListener_();
    // A copy: a listener may add or remove listeners.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners)
        listener();
}

int Player::addChangeListener(std::function<void()> listener) {
    listeners_.emplace_back(nextListenerId_, std::move(listener));
    return nextListenerId_++;
}

void Player::removeChangeListener(int id) {
    std::erase_if(listeners_, [id](const auto& entry) { return entry.first == id; });
}

// --- transport ---

void Player::stopEngine() {
    playingRemoved_ = false;
    resumeMs_ = 0;
    engine_->stop();
    state_ = PlayState::Stopped;
    playingFile_.clear();
}

void Player::startCurrent() {
    playingRemoved_ = false;
    while (!list_.empty()) {
        const PlayListItem* item = list_.at(static_cast<std::size_t>(current_));
        if (engine_->start(item->fileName)) {
            state_ = PlayState::Playing;
            playingFile_ = item->fileName;
            return;
        }
        // Cannot be played: skip it, but never loop over a list of bad entries.
        if (++failures_ >= list_.size() || !stepForward())
            break;
    }
    stopEngine();
}

bool Player::stepForward() {
    const int count = static_cast<int>(list_.size());
    if (count == 0)
        return false;
    if (shuffle_ && count > 1) {
        std::uniform_int_distribution<int> draw(0, count - 2);
        const int pick = draw(random_);
        current_ = pick >= current_ ? pick + 1 : pick;  // any entry but the current one
        resumeMs_ = 0;
        return true;
    }
    if (current_ + 1 < count) {
        ++current_;
        resumeMs_ = 0;
        return true;
    }
    if (repeat_) {
        current_ = 0;
        resumeMs_ = 0;
        return true;
    }
    return false;
}

void Player::onTrackEnded() {
    failures_ = 0;
    if (playingRemoved_ || stepForward())
        startCurrent();
    else
        stopEngine();  // end of the list: stopped on its last entry
    changed();
}

void Player::onTrackFailed() {
    if (++failures_ < list_.size() && stepForward())
        startCurrent();
    else
        stopEngine();
    changed();
}

void Player::play() {
    if (list_.empty())
        return;
    failures_ = 0;
    const std::int64_t resume = state_ == PlayState::Stopped ? resumeMs_ : 0;
    const int entry = current_;
    startCurrent();
    // Only the entry the resume point belongs to starts there.
    if (resume > 0 && state_ == PlayState::Playing && current_ == entry)
        engine_->seek(resume);
    changed();
}

void Player::togglePause() {
    if (state_ == PlayState::Playing) {
        engine_->pause();
        state_ = PlayState::Paused;
    } else if (state_ == PlayState::Paused) {
        engine_->resume();
        state_ = PlayState::Playing;
    }
    changed();
}

void Player::stop() {
    stopEngine();
    changed();
}

void Player::next() {
    if (!stepForward())
        return;  // last entry without repeat: the classic player stays there
    if (state_ != PlayState::Stopped) {
        failures_ = 0;
        startCurrent();
    }
    changed();
}

void Player::previous() {
    const int count = static_cast<int>(list_.size());
    if (count == 0)
        return;
    if (shuffle_ && count > 1) {
        stepForward();  // the classic player draws again
    } else if (current_ > 0) {
        --current_;
    } else if (repeat_) {
        current_ = count - 1;
    } else {
        return;
    }
    resumeMs_ = 0;
    if (state_ != PlayState::Stopped) {
        failures_ = 0;
        startCurrent();
    }
    changed();
}

void Player::skip(std::int64_t deltaMs) {
    if (state_ == PlayState::Stopped)
        return;
    jumpTo(std::max<std::int64_t>(positionMs() + deltaMs, 0));
}

int Player::jumpTo(std::int64_t ms) {
    if (state_ == PlayState::Stopped)
        return -1;
    ms = std::max<std::int64_t>(ms, 0);
    const std::int64_t length = lengthMs();
    if (length > 0 && ms >= length) {
        onTrackEnded();
        return 1;
    }
    engine_->seek(ms);
    changed();
    return 0;
}

// --- play list ---

std::string Player::makeTitle(const std::string& fileName) {
    if (isUrlLocation(fileName))
        return fileName;  // a stream is not opened just to name it
    const TrackTags info = tags_->lookup(fileName);
    if (!info.title.empty())
        return info.artist.empty() ? info.title : info.artist + " - " + info.title;
    std::string name = fileName.substr(fileName.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.resize(dot);
    return name;
}

bool Player::enqueue(const std::string& fileName, const std::string& title, int lengthSeconds) {
    if (fileName.empty() || list_.size() >= limits::kMaxPlaylistEntries)
        return false;
    list_.add({fileName, title.empty() ? makeTitle(fileName) : title, std::max(lengthSeconds, 0)});
    changed();
    return true;
}

void Player::clear() {
    stopEngine();  // nothing is left to play, so nothing plays
    list_.clear();
    current_ = 0;
    changed();
}

bool Player::remove(int index) {
    if (index < 0 || !list_.remove(static_cast<std::size_t>(index)))
        return false;
    // The entry that is playing goes on playing; the position keeps pointing
    // at the same entry, or at the one that took the removed entry's place.
    if (index == current_)
        resumeMs_ = 0;
    if (index < current_)
        --current_;
    else if (index == current_ && state_ != PlayState::Stopped)
        playingRemoved_ = index < static_cast<int>(list_.size());
    current_ = std::clamp(current_, 0, std::max(static_cast<int>(list_.size()) - 1, 0));
    if (list_.empty())
        stopEngine();
    changed();
    return true;
}

bool Player::swap(int a, int b) {
    if (a < 0 || b < 0 || !list_.swap(static_cast<std::size_t>(a), static_cast<std::size_t>(b)))
        return false;
    changed();
    return true;
}

bool Player::setCurrent(int index) {
    if (index < 0 || index >= static_cast<int>(list_.size()))
        return false;
    if (index != current_)
        resumeMs_ = 0;
    current_ = index;
    playingRemoved_ = false;
    changed();
    return true;
}

// --- state ---

void Player::setVolume(int level) {
    volume_ = std::clamp(level, 0, 255);
    engine_->setVolume(volume_);
    changed();
}

void Player::setShuffle(bool on) {
    shuffle_ = on;
    changed();
}

void Player::setRepeat(bool on) {
    repeat_ = on;
    changed();
}

std::int64_t Player::positionMs() {
    return state_ == PlayState::Stopped ? 0 : engine_->positionMs();
}

std::int64_t Player::lengthMs() {
    if (state_ != PlayState::Stopped) {
        if (const std::int64_t length = engine_->durationMs(); length > 0)
            return length;
        return tags_->lookup(playingFile_).lengthMs;
    }
    const PlayListItem* item = list_.at(static_cast<std::size_t>(current_));
    if (!item)
        return 0;
    // A stream is not opened while stopped; its length is what the enqueue said.
    if (isUrlLocation(item->fileName))
        return static_cast<std::int64_t>(item->lengthSeconds) * 1000;
    const std::int64_t length = tags_->lookup(item->fileName).lengthMs;
    return length > 0 ? length : static_cast<std::int64_t>(item->lengthSeconds) * 1000;
}

int Player::bitrateKbps() {
    if (state_ == PlayState::Stopped)
        return 0;
    if (const int bitrate = engine_->bitrateKbps(); bitrate > 0)
        return bitrate;
    return tags_->lookup(playingFile_).bitrateKbps;
}

std::string Player::extendedInfo(const std::string& fileName, const std::string& field, bool& readable) {
    const TrackTags info = tags_->lookup(fileName);
    readable = info.readable;
    auto number = [](std::int64_t value) { return value > 0 ? std::to_string(value) : std::string(); };
    if (field == "title") return info.title;
    if (field == "artist") return info.artist;
    if (field == "album") return info.album;
    if (field == "genre") return info.genre;
    if (field == "comment") return info.comment;
    if (field == "length") return number(info.lengthMs);
    if (field == "bitrate") return number(info.bitrateKbps);
    if (field == "year") return number(info.year);
    if (field == "track") return number(info.track);
    return {};
}

}  // namespace lyrebox
