// The touch remote: panes, the now-playing controls, the shared page state,
// and the small pieces the queue and library use (sliders, a toast with an
// undo button, a confirmation dialog). Loaded last; starts the page.
'use strict';

// A horizontal slider driven by pointer (finger, pen, mouse) and keys.
// onInput(value) while dragging, onChange(value) once at the end.
class Slider {
  constructor(el, { max, step, onInput, onChange, label }) {
    this.el = el;
    this.max = max;
    this.step = step;
    this.onInput = onInput || (() => {});
    this.onChange = onChange || (() => {});
    this.label = label || ((v) => String(Math.round(v)));
    this.value = 0;
    this.dragging = false;
    this.fill = el.querySelector('.slider-fill');
    this.thumb = el.querySelector('.slider-thumb');
    el.setAttribute('aria-valuemax', String(max));
    el.addEventListener('pointerdown', (e) => this.down(e));
    el.addEventListener('pointermove', (e) => this.move(e));
    el.addEventListener('pointerup', (e) => this.up(e));
    el.addEventListener('pointercancel', (e) => this.up(e));
    el.addEventListener('keydown', (e) => this.key(e));
  }

  valueAt(clientX) {
    const box = this.el.getBoundingClientRect();
    const inset = box.height / 2;  // the thumb's centre stays inside the bar
    const f = (clientX - box.left - inset) / Math.max(1, box.width - 2 * inset);
    return Math.min(1, Math.max(0, f)) * this.max;
  }

  down(e) {
    if (e.button !== 0) return;
    e.preventDefault();
    this.el.setPointerCapture(e.pointerId);
    this.dragging = true;
    this.el.classList.add('active');
    this.el.focus({ preventScroll: true });
    this.set(this.valueAt(e.clientX));
    this.onInput(this.value);
  }

  move(e) {
    if (!this.dragging) return;
    this.set(this.valueAt(e.clientX));
    this.onInput(this.value);
  }

  up(e) {
    if (!this.dragging) return;
    this.dragging = false;
    this.el.classList.remove('active');
    if (e.type === 'pointerup') this.set(this.valueAt(e.clientX));
    this.onChange(this.value);
  }

  key(e) {
    const steps = { ArrowLeft: -1, ArrowDown: -1, ArrowRight: 1, ArrowUp: 1, PageDown: -5, PageUp: 5 };
    let v;
    if (e.key in steps) v = this.value + steps[e.key] * this.step;
    else if (e.key === 'Home') v = 0;
    else if (e.key === 'End') v = this.max;
    else return;
    e.preventDefault();
    this.set(v);
    this.onChange(this.value);
  }

  // Shows a value (the player's, or the finger's while dragging).
  set(v) {
    this.value = Math.min(this.max, Math.max(0, v));
    const pct = (this.value / this.max) * 100;
    this.fill.style.setProperty('width', pct + '%');
    this.thumb.style.setProperty('left', pct + '%');
    this.thumb.style.setProperty('--f', String(this.value / this.max));
    this.el.setAttribute('aria-valuenow', String(Math.round(this.value)));
    this.el.setAttribute('aria-valuetext', this.label(this.value));
  }
}

// A message at the bottom with an optional action (Undo), gone after ms.
class Toast {
  constructor() {
    this.el = document.getElementById('toast');
    this.text = document.getElementById('toast-text');
    this.button = document.getElementById('toast-action');
    this.timer = null;
    this.onAction = null;
    this.button.addEventListener('click', () => {
      const action = this.onAction;
      this.hide();
      if (action) action();
    });
  }

  show(text, { action = null, onAction = null, ms = 4000, onExpire = null } = {}) {
    clearTimeout(this.timer);
    this.text.textContent = text;
    this.onAction = onAction;
    this.button.hidden = !action;
    if (action) this.button.textContent = action;
    this.el.hidden = false;
    this.timer = setTimeout(() => {
      this.hide();
      if (onExpire) onExpire();
    }, ms);
  }

  hide() {
    clearTimeout(this.timer);
    this.onAction = null;
    this.el.hidden = true;
  }
}

Remote.Slider = Slider;

// Asks a yes/no question in a modal dialog; resolves to true for yes.
Remote.confirm = (text, yes) => new Promise((resolve) => {
  const dialog = document.getElementById('confirm');
  document.getElementById('confirm-text').textContent = text;
  document.getElementById('confirm-ok').textContent = yes;
  dialog.returnValue = '';
  dialog.addEventListener('close', () => resolve(dialog.returnValue === 'ok'), { once: true });
  dialog.showModal();
});

// The now-playing pane.
class NowPlaying {
  constructor(app) {
    this.app = app;
    this.$ = (id) => document.getElementById(id);
    this.status = null;
    this.statusAt = 0;
    this.coverKey = null;
    this.volumeBusy = false;
    this.volumeWanted = null;
    this.mutedFrom = Number(localStorage.getItem('lyrebox.remote.muted')) || 0;
    this.seek = new Slider(this.$('seek'), {
      max: 1000, step: 10,
      label: (v) => Remote.clock(this.lengthMs() * v / 1000) + ' of ' + Remote.clock(this.lengthMs()),
      onInput: (v) => this.showTimes(v / 1000),
      onChange: (v) => this.seekTo(v / 1000),
    });
    this.volume = new Slider(this.$('volume'), {
      max: 255, step: 8,
      label: (v) => Math.round(v / 2.55) + '%',
      onInput: (v) => this.setVolume(v),
      onChange: (v) => this.setVolume(v),
    });
    const cmd = (id, fn) => this.$(id).addEventListener('click', fn);
    cmd('prev', () => this.app.act('prev'));
    cmd('next', () => this.app.act('next'));
    cmd('stop', () => this.app.act('stop'));
    cmd('playpause', () => this.playPause());
    cmd('shuffle', () => this.toggle('shuffle'));
    cmd('repeat', () => this.toggle('repeat'));
    cmd('mute', () => this.mute());
    const cover = this.$('cover');
    cover.addEventListener('load', () => {
      cover.hidden = false;
      this.$('cover-placeholder').hidden = true;
    });
    cover.addEventListener('error', () => {
      cover.hidden = true;
      this.$('cover-placeholder').hidden = false;
    });
    setInterval(() => this.tick(), 500);
  }

  lengthMs() {
    return this.status ? this.status.lengthMs : 0;
  }

  // The position now, moved on locally while playing between updates.
  fraction() {
    const s = this.status;
    if (!s) return 0;
    if (s.state !== 'playing' || !s.lengthMs) return s.position;
    return Math.min(1, s.position + (performance.now() - this.statusAt) / s.lengthMs);
  }

  show(s) {
    this.status = s;
    this.statusAt = performance.now();
    this.$('title').textContent = s.title || (s.filename ? s.filename.split(/[\\/]/).pop() : 'Nothing playing');
    this.$('artist').textContent = s.artist;
    this.$('album').textContent = s.album;
    const playing = s.state === 'playing';
    const pp = this.$('playpause');
    pp.setAttribute('aria-label', playing ? 'Pause' : 'Play');
    pp.querySelector('use').setAttribute('href', playing ? '#i-pause' : '#i-play');
    for (const mode of ['shuffle', 'repeat']) this.$(mode).setAttribute('aria-pressed', String(s[mode]));
    if (!this.volume.dragging && !this.volumeBusy) this.volume.set(s.volume);
    const muted = s.volume === 0;
    const mute = this.$('mute');
    mute.setAttribute('aria-pressed', String(muted));
    mute.setAttribute('aria-label', muted ? 'Unmute' : 'Mute');
    mute.querySelector('use').setAttribute('href', muted ? '#i-muted' : '#i-volume');
    this.showCover(s);
    this.tick();
  }

  showCover(s) {
    const key = s.index + '\n' + s.filename;
    if (key === this.coverKey) return;
    this.coverKey = key;
    const cover = this.$('cover');
    if (s.index < 0 || !s.filename || s.count === 0) {
      cover.hidden = true;
      cover.removeAttribute('src');
      this.$('cover-placeholder').hidden = false;
      return;
    }
    cover.alt = 'Cover of ' + (s.album || s.title || 'this track');
    cover.src = 'cover?index=' + s.index + '&v=' + Remote.hash(s.filename);
  }

  tick() {
    if (!this.seek.dragging) {
      const f = this.fraction();
      this.seek.set(f * 1000);
      this.showTimes(f);
    }
  }

  showTimes(f) {
    const len = this.lengthMs();
    this.$('elapsed').textContent = Remote.clock(len * f);
    this.$('remaining').textContent = '-' + Remote.clock(len * (1 - f));
  }

  async seekTo(f) {
    if (this.status) {
      this.status.position = f;
      this.statusAt = performance.now();
    }
    await Remote.command('setposition', [Remote.arg('pos', f.toFixed(4))]);
    this.app.refreshStatus();
  }

  // One volume request at a time; the latest wanted level goes next.
  async setVolume(v) {
    this.volumeWanted = Math.round(v);
    if (this.volumeBusy) return;
    this.volumeBusy = true;
    while (this.volumeWanted !== null) {
      const level = this.volumeWanted;
      this.volumeWanted = null;
      await Remote.command('setvolume', [Remote.arg('level', level)]);
    }
    this.volumeBusy = false;
  }

  async mute() {
    // The slider, not the last status: it has a level just dragged to.
    const current = Math.round(this.volume.value);
    let level;
    if (current === 0) {
      level = this.mutedFrom || 160;
      this.mutedFrom = 0;
    } else {
      this.mutedFrom = current;
      level = 0;
    }
    localStorage.setItem('lyrebox.remote.muted', String(this.mutedFrom));
    this.volume.set(level);
    await this.setVolume(level);
    this.app.refreshStatus();
  }

  toggle(mode) {
    if (this.status) this.$(mode).setAttribute('aria-pressed', String(!this.status[mode]));
    this.app.act(mode === 'shuffle' ? 'toggleshuffle' : 'togglerepeat');
  }

  playPause() {
    const state = this.status ? this.status.state : 'unknown';
    // "pause" toggles between playing and paused; "play" starts a stopped player.
    this.app.act(state === 'playing' || state === 'paused' ? 'pause' : 'play');
  }
}

// A short text hash for cache-busting cover addresses.
Remote.hash = (text) => {
  let h = 5381;
  for (let i = 0; i < text.length; i++) h = ((h * 33) ^ text.charCodeAt(i)) >>> 0;
  return h.toString(36);
};

class App {
  constructor() {
    this.toast = new Toast();
    this.now = new NowPlaying(this);
    this.queue = new Remote.Queue(this);
    this.library = new Remote.Library(this);
    this.status = null;
    this.playlistRevision = undefined;
    this.playlistPending = false;
    this.playlistAgain = false;
    for (const tab of document.querySelectorAll('.tab'))
      tab.addEventListener('click', () => this.showPane(tab.dataset.pane));
    this.showPane(sessionStorage.getItem('lyrebox.remote.pane') || 'now');
    this.live = new Remote.LiveUpdates({
      onStatus: (s) => this.onStatus(s),
      onPlaylist: (rev) => this.onPlaylist(rev),
      onLink: (state) => this.showLink(state),
    });
  }

  start() {
    this.refreshStatus();
    this.refreshPlaylist();
    this.library.open('');
    this.live.start();
  }

  showPane(name) {
    document.body.dataset.pane = name;
    sessionStorage.setItem('lyrebox.remote.pane', name);
    for (const tab of document.querySelectorAll('.tab'))
      tab.setAttribute('aria-pressed', String(tab.dataset.pane === name));
    if (name === 'queue') this.queue.revealPlaying();
  }

  showLink(state) {
    const text = { live: '', polling: 'Reconnecting…', offline: 'Not connected' }[state] || '';
    document.getElementById('connection').textContent = text;
  }

  onStatus(s) {
    const before = this.status;
    this.status = s;
    this.now.show(s);
    if (!before || before.index !== s.index || before.filename !== s.filename) this.queue.setPlaying(s.index);
  }

  onPlaylist(revision) {
    if (revision !== null && revision === this.playlistRevision) return;
    this.refreshPlaylist();
  }

  refreshStatus() {
    return this.live.refreshStatus();
  }

  // One fetch at a time; a change announced meanwhile fetches once more.
  async refreshPlaylist() {
    if (this.playlistPending) {
      this.playlistAgain = true;
      return;
    }
    this.playlistPending = true;
    try {
      do {
        this.playlistAgain = false;
        const list = await Remote.fetchPlaylist();
        if (list) {
          this.playlistRevision = list.revision;
          this.queue.show(list);
        }
      } while (this.playlistAgain);
    } finally {
      this.playlistPending = false;
    }
  }

  // The playing entry's index, -1 when nothing is selected.
  playingIndex() {
    if (this.queue.entries.length === 0) return -1;
    const i = this.status ? this.status.index : this.queue.playing;
    return i >= 0 && i < this.queue.entries.length ? i : -1;
  }

  // Sends a command and refreshes the state the page shows.
  async act(name, args = []) {
    const answer = await Remote.command(name, args);
    if (!answer.ok) this.toast.show('The player did not answer.');
    this.refreshStatus();
    return answer;
  }

  async changed() {
    await Promise.all([this.refreshPlaylist(), this.refreshStatus()]);
  }
}

document.addEventListener('DOMContentLoaded', () => {
  Remote.app = new App();
  Remote.app.start();
});
