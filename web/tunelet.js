// Client of the player's HTTP commands.
//
// Every page object owns its clients. A client counts its unfinished
// requests: a synchronous command (one the caller awaits) is not sent while
// an earlier request of the same client is unfinished, and yields null. An
// asynchronous command is always sent; its callback gets the answer as
// { ok, text, xml } when it is complete (xml is null unless the answer is a
// document).
'use strict';

class Tunelet {
  // The address the browser used; the page's own origin when the server had none to give.
  static HOST = '<<HOST>>' || location.host;
  static PLAYLIST_ID = '<<PLAYLIST_ID>>';

  constructor(host) {
    this.host = host || Tunelet.HOST;
    this.pending = 0;
    this.savedVolume = null;
  }

  get busy() {
    return this.pending > 0;
  }

  static arg(name, value) {
    return name + '=' + encodeURIComponent(String(value));
  }

  async request(method, name, args) {
    let url = 'http://' + this.host + '/' + name;
    const joined = args.map((a) => a + '&').join('');
    const init = { method, cache: 'no-store' };
    if (method === 'POST') {
      init.body = joined;
      init.headers = { 'Content-Type': 'application/x-www-form-urlencoded' };
    } else {
      // A nameless value that only defeats caching; the server skips it.
      url += '?' + joined + Date.now() + String(Math.random()).substring(2);
    }
    this.pending++;
    try {
      const response = await fetch(url, init);
      const text = await response.text();
      return { ok: response.ok, text, xml: Tunelet.parseXml(text) };
    } catch (e) {
      return { ok: false, text: '', xml: null };
    } finally {
      this.pending--;
    }
  }

  static parseXml(text) {
    if (!text || text.indexOf('<') < 0) return null;
    const doc = new DOMParser().parseFromString(text, 'text/xml');
    const root = doc.documentElement;
    if (!root || root.nodeName === 'parsererror' || doc.getElementsByTagName('parsererror').length) return null;
    return doc;
  }

  // Sends and awaits; null when refused because the client is busy or failed.
  async sync(method, name, args = []) {
    if (this.busy) return null;
    const answer = await this.request(method, name, args);
    return answer.ok ? answer : null;
  }

  async syncText(method, name, args = []) {
    const answer = await this.sync(method, name, args);
    return answer ? answer.text : null;
  }

  send(method, name, args = [], onAnswer = null) {
    const done = this.request(method, name, args);
    done.then((answer) => {
      if (onAnswer) onAnswer(answer);
    });
    return done;
  }

  // Transport
  prev() { return this.syncText('POST', 'prev'); }
  next() { return this.syncText('POST', 'next'); }
  play(cb) { return this.send('POST', 'play', [], cb); }
  pause(cb) { return this.send('POST', 'pause', [], cb); }
  stop(cb) { return this.send('POST', 'stop', [], cb); }
  ffw5s(cb) { return this.send('POST', 'ffw5s', [], cb); }
  rew5s(cb) { return this.send('POST', 'rew5s', [], cb); }
  setPosition(fraction, cb) { return this.send('POST', 'setposition', [Tunelet.arg('pos', fraction)], cb); }
  toggleShuffle(cb) { return this.send('POST', 'toggleshuffle', [], cb); }
  toggleRepeat(cb) { return this.send('POST', 'togglerepeat', [], cb); }

  // Volume
  async getVolume() {
    const text = await this.syncText('GET', 'getvolume');
    if (text === null) return null;
    const level = parseInt(text, 10);
    return Number.isFinite(level) ? level : null;
  }

  setVolume(level, cb) { return this.send('POST', 'setvolume', [Tunelet.arg('level', level)], cb); }

  // Mutes, remembering the volume; called again, restores it. Resolves to the
  // level now set, or null when nothing was done.
  async mute() {
    if (this.savedVolume !== null) {
      const level = this.savedVolume;
      this.savedVolume = null;
      this.setVolume(level);
      return level;
    }
    const level = await this.getVolume();
    if (level === null) return null;
    this.savedVolume = level;
    this.setVolume(0);
    return 0;
  }

  // Documents
  consoleStatus(cb) { return this.send('GET', 'consolestatus.xml', [], cb); }
  playlist(cb) { return this.send('GET', 'playlist.xml', [Tunelet.arg('id', Tunelet.PLAYLIST_ID)], cb); }

  // Play list
  async getPlaylistPos() {
    const text = await this.syncText('GET', 'getplaylistpos');
    if (text === null) return null;
    const pos = parseInt(text, 10);
    return Number.isFinite(pos) ? pos : null;
  }

  setPlaylistPos(index) { return this.syncText('POST', 'setplaylistpos', [Tunelet.arg('index', index)]); }
  deletePlaylistItem(index) { return this.syncText('POST', 'deleteplaylistitem', [Tunelet.arg('index', index)]); }
  clearPlaylist() { return this.syncText('GET', 'clearplaylist'); }

  movePlaylistItem(from, to, cb) {
    return this.send('POST', 'moveplaylistitem', [Tunelet.arg('from', from), Tunelet.arg('to', to)], cb);
  }

  // Adding files. `file` is already percent-encoded (a library path as the
  // listing gives it, or an encoded stream address); the title is plain text.
  playFile(file, title, cb) {
    return this.send('POST', 'playfile', ['filename=' + file, Tunelet.arg('title', title)], cb);
  }

  enqueueFile(file, title, cb) {
    return this.send('POST', 'enqueuefile', ['filename=' + file, Tunelet.arg('title', title)], cb);
  }

  insertFile(file, title, index, cb) {
    return this.send('POST', 'insertfile',
      ['filename=' + file, Tunelet.arg('title', title), Tunelet.arg('index', index)], cb);
  }
}
