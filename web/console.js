// The console: track texts, shuffle and repeat lights, transport buttons
// (an image map over console.gif), the volume and seek sliders and the
// page-wide keys. Polls "consolestatus.xml" every 3000 ms.
'use strict';

class Console {
  static ML_ENABLED = '<<ML_ENABLED>>' === 'true';
  static POLL_MS = 3000;

  constructor(parent) {
    this.client = new Tunelet();       // commands
    this.poller = new Tunelet();       // status polls
    this.pollPending = false;
    this.arrowHeld = false;
    this.seekHeld = false;
    this.lengthMs = 0;
    this.sentVolume = null;
    this.build(parent);
    document.addEventListener('keydown', (e) => this.keyDown(e));
    document.addEventListener('keyup', (e) => this.keyUp(e));
  }

  build(parent) {
    const box = document.createElement('div');
    box.className = 'console';
    box.innerHTML =
      '<img class="consoleImage" src="console.gif" width="354" height="144" usemap="#consoleMap" alt="Console">' +
      '<map name="consoleMap" id="consoleMap">' +
      '<area shape="circle" coords="323,47,9" href="#" title="Toggle Repeat" alt="Toggle Repeat" data-action="repeat">' +
      '<area shape="circle" coords="324,71,9" href="#" title="Toggle Shuffle" alt="Toggle Shuffle" data-action="shuffle">' +
      '<area shape="circle" coords="304,99,11" href="#" title="Toggle Playlist" alt="Toggle Playlist" data-action="playlist">' +
      '<area shape="circle" coords="329,99,11" href="#" title="Toggle Media Library" alt="Toggle Media Library" data-action="library">' +
      '<area shape="circle" coords="171,129,7" href="#" title="Toggle Mute" alt="Toggle Mute" data-action="mute">' +
      '<area shape="circle" coords="19,124,11" href="#" title="Previous Track" alt="Previous Track" data-action="prev">' +
      '<area shape="circle" coords="48,125,11" href="#" title="Play" alt="Play" data-action="play">' +
      '<area shape="circle" coords="78,125,11" href="#" title="Pause" alt="Pause" data-action="pause">' +
      '<area shape="circle" coords="108,125,11" href="#" title="Stop" alt="Stop" data-action="stop">' +
      '<area shape="circle" coords="138,124,11" href="#" title="Next Track" alt="Next Track" data-action="next">' +
      '</map>' +
      '<div class="cText" id="cArtist" style="left:23px;top:34px;width:274px"></div>' +
      '<div class="cText" id="cBitrate" style="left:254px;top:34px"></div>' +
      '<div class="cText" id="cTitle" style="left:23px;top:50px;width:274px"></div>' +
      '<div class="cText" id="cAlbum" style="left:23px;top:66px;width:274px"></div>' +
      '<img class="cLight" id="cRepeat" src="waLightOn.gif" style="left:337px;top:42px" alt="Repeat on">' +
      '<img class="cLight" id="cShuffle" src="waLightOn.gif" style="left:337px;top:65px" alt="Shuffle on">';
    parent.appendChild(box);
    this.box = box;
    const $ = (id) => box.querySelector('#' + id);
    this.artist = $('cArtist');
    this.bitrate = $('cBitrate');
    this.title = $('cTitle');
    this.album = $('cAlbum');
    this.repeatLight = $('cRepeat');
    this.shuffleLight = $('cShuffle');
    this.setLight(this.repeatLight, false);
    this.setLight(this.shuffleLight, false);
    box.querySelector('map').addEventListener('click', (e) => {
      const area = e.target.closest('area');
      if (!area) return;
      e.preventDefault();
      this.action(area.dataset.action);
    });
    this.seek = new Slider(box, {
      left: 8, top: 88, background: 'seek_slider.gif', handle: 'seek_handle.gif',
      handleTop: 5, travel: 221, min: 0, max: 10000, title: 'Seek',
      onPress: () => { this.seekHeld = true; },
      onRelease: (value) => {
        this.seekHeld = false;
        this.client.setPosition(value / 10000);
      },
    });
    this.volume = new Slider(box, {
      left: 201, top: 114, background: 'vol_slider.jpg', handle: 'vol_handle.gif',
      handleTop: 15, travel: 75, min: 0, max: 255, title: 'Volume',
      onMove: (value) => {
        if (this.client.busy) return;
        this.sentVolume = value;
        this.client.setVolume(value);
      },
      // Movements that found the client busy were dropped; the last value still counts.
      onRelease: (value) => {
        if (value !== this.sentVolume) {
          this.sentVolume = value;
          this.client.setVolume(value);
        }
      },
    });
  }

  start() {
    this.poll();
    this.timer = setInterval(() => this.poll(), Console.POLL_MS);
  }

  setLight(light, on) {
    light.style.visibility = on ? 'visible' : 'hidden';
  }

  lightOn(light) {
    return light.style.visibility !== 'hidden';
  }

  async action(name) {
    const c = this.client;
    switch (name) {
      case 'repeat':
        this.setLight(this.repeatLight, !this.lightOn(this.repeatLight));
        c.toggleRepeat();
        break;
      case 'shuffle':
        this.setLight(this.shuffleLight, !this.lightOn(this.shuffleLight));
        c.toggleShuffle();
        break;
      case 'playlist': {
        const w = Window.byId.playlist;
        if (w) w.toggle();
        break;
      }
      case 'library': {
        const w = Window.byId.medialibrary;
        if (!w) break;
        if (!w.visible && Console.ML_ENABLED) w.show();
        else w.hide();
        break;
      }
      case 'mute': {
        const level = await c.mute();
        if (level !== null) this.volume.setValue(level);
        break;
      }
      case 'prev':
      case 'next': {
        const answer = name === 'prev' ? await c.prev() : await c.next();
        if (answer !== null) {
          const pos = parseInt(answer, 10);
          if (document.pl && Number.isFinite(pos)) document.pl.setPlaying(pos, true);
          this.poll();
        }
        break;
      }
      case 'play': c.play(); break;
      case 'pause': c.pause(); break;
      case 'stop': c.stop(); break;
      default: break;
    }
  }

  poll() {
    if (this.pollPending || this.seekHeld || this.seek.dragging || this.arrowHeld) return;
    this.pollPending = true;
    this.poller.consoleStatus((answer) => {
      this.pollPending = false;
      if (answer.xml) this.show(answer.xml);
    });
  }

  show(doc) {
    const root = doc.documentElement;
    if (!root) return;
    const text = (tag) => {
      const el = root.getElementsByTagName(tag)[0];
      return el ? el.textContent : '';
    };
    const number = (tag) => {
      const n = parseFloat(text(tag));
      return Number.isFinite(n) ? n : 0;
    };
    this.volume.setValue(number('volume'));
    if (!this.seekHeld && !this.arrowHeld) this.seek.setValue(number('position') * 10000);
    this.setLight(this.shuffleLight, number('shuffle') > 0);
    this.setLight(this.repeatLight, number('repeat') > 0);
    this.lengthMs = number('lengthms');
    this.artist.textContent = 'Artist: ' + text('artist').toUpperCase();
    this.title.textContent = 'Title: ' + text('title').toUpperCase() + ' (' + text('length') + ')';
    this.album.textContent = 'Album: ' + text('album').toUpperCase();
    this.bitrate.textContent = 'kbps: ' + text('bitrate');
  }

  keyDown(e) {
    if (isTyping(e) || e.ctrlKey || e.altKey || e.metaKey) return;
    const keys = { 90: 'prev', 88: 'play', 67: 'pause', 86: 'stop', 66: 'next' };
    if (keys[e.keyCode]) {
      this.action(keys[e.keyCode]);
      return;
    }
    if (e.keyCode !== 37 && e.keyCode !== 39) return;
    e.preventDefault();
    this.arrowHeld = true;
    if (this.client.busy) return;
    const forward = e.keyCode === 39;
    if (forward) this.client.ffw5s();
    else this.client.rew5s();
    if (this.lengthMs > 0) {
      const step = Math.round(5000 / this.lengthMs * 10000);
      this.seek.setValue(this.seek.value + (forward ? step : -step));
    }
  }

  keyUp(e) {
    if (e.keyCode !== 37 && e.keyCode !== 39) return;
    if (!this.arrowHeld) return;
    this.arrowHeld = false;
    if (!this.client.busy) this.client.setPosition(this.seek.value / 10000);
  }
}
