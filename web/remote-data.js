// The touch remote's link to the player: commands, the JSON documents, and
// live updates from the "events" stream, with polling when the stream fails.
//
// Everything is same-origin and relative, so the page works under any host
// name and behind the server's content security policy (no eval, no inline
// code). Documents the server does not have (an older plugin) fall back to
// the classic XML and script documents.
'use strict';

const Remote = window.Remote || {};
window.Remote = Remote;

// "?poll=0" switches polling off (tests check that the stream alone is enough).
Remote.POLL = new URLSearchParams(location.search).get('poll') !== '0';
Remote.STATUS_POLL_MS = 1000;
Remote.PLAYLIST_POLL_MS = 3000;
Remote.STREAM_RETRY_MS = 5000;

Remote.arg = (name, value) => name + '=' + encodeURIComponent(String(value));

// One request; resolves to { ok, status, text } and never rejects.
Remote.request = async (method, name, args = []) => {
  const body = args.join('&');
  let url = name;
  const init = { method, cache: 'no-store' };
  if (method === 'POST') {
    init.body = body;
    init.headers = { 'Content-Type': 'application/x-www-form-urlencoded' };
  } else if (body) {
    url += '?' + body;
  }
  try {
    const response = await fetch(url, init);
    const text = await response.text();
    return { ok: response.ok, status: response.status, text };
  } catch (e) {
    return { ok: false, status: 0, text: '' };
  }
};

Remote.command = (name, args = []) => Remote.request('POST', name, args);

Remote.json = async (name, args = []) => {
  const answer = await Remote.request('GET', name, args);
  if (!answer.ok) return { ok: false, status: answer.status, data: null };
  try {
    return { ok: true, status: answer.status, data: JSON.parse(answer.text) };
  } catch (e) {
    return { ok: false, status: answer.status, data: null };
  }
};

// A text as the server writes path fields: every byte of its UTF-8 form
// other than an ASCII letter or digit as %xx.
const encodePath = (text) => Array.from(new TextEncoder().encode(text), (b) =>
  (b >= 48 && b <= 57) || (b >= 65 && b <= 90) || (b >= 97 && b <= 122)
    ? String.fromCharCode(b) : '%' + b.toString(16).padStart(2, '0')).join('');
Remote.encodePath = encodePath;

// The "playlist" parameter of enqueueplaylist: lines "title TAB file LF".
// Paths go in as the server gave them, so names that are not UTF-8 survive.
Remote.playlistArg = (entries) => 'playlist=' + entries.map((e) =>
  encodeURIComponent(String(e.title).replace(/[\t\n\r]/g, ' ')) + '%09' + e.path + '%0a').join('');

// m:ss or h:mm:ss.
Remote.clock = (ms) => {
  const total = Math.max(0, Math.floor(ms / 1000));
  const h = Math.floor(total / 3600);
  const m = Math.floor((total % 3600) / 60);
  const s = String(total % 60).padStart(2, '0');
  return h ? h + ':' + String(m).padStart(2, '0') + ':' + s : m + ':' + s;
};

// ---- Documents, with the classic ones as fallback ------------------------

const xmlText = (root, tag) => {
  const el = root.getElementsByTagName(tag)[0];
  return el ? el.textContent : '';
};

const parseXml = (text) => {
  const doc = new DOMParser().parseFromString(text, 'text/xml');
  if (!doc.documentElement || doc.getElementsByTagName('parsererror').length) return null;
  return doc.documentElement;
};

// A status as the page uses it, from status.json or consolestatus.xml.
Remote.normaliseStatus = (s) => {
  const num = (v, d = 0) => {
    const n = Number(v);
    return Number.isFinite(n) ? n : d;
  };
  const state = typeof s.state === 'string' ? s.state : 'unknown';
  return {
    volume: num(s.volume),
    shuffle: num(s.shuffle) > 0 || s.shuffle === true,
    repeat: num(s.repeat) > 0 || s.repeat === true,
    title: String(s.title ?? ''),
    artist: String(s.artist ?? ''),
    album: String(s.album ?? ''),
    filename: String(s.filename ?? ''),
    lengthMs: num(s.lengthms),
    position: num(s.position),
    index: num(s.index, -1),
    // Entries in the play list; null when the document does not say.
    count: s.length === undefined ? null : num(s.length),
    state,
  };
};

Remote.fetchStatus = async () => {
  const answer = await Remote.json('status.json');
  if (answer.ok && answer.data) return Remote.normaliseStatus(answer.data);
  if (answer.status !== 404) return null;
  const [xml, pos] = await Promise.all([Remote.request('GET', 'consolestatus.xml'),
    Remote.request('GET', 'getplaylistpos')]);
  const root = xml.ok ? parseXml(xml.text) : null;
  if (!root) return null;
  const s = {};
  for (const tag of ['volume', 'shuffle', 'repeat', 'title', 'artist', 'album', 'filename', 'lengthms', 'position'])
    s[tag] = xmlText(root, tag);
  s.index = pos.ok ? parseInt(pos.text, 10) : -1;
  return Remote.normaliseStatus(s);
};

// { revision, playing, entries: [{ index, title, filename }] } or null.
Remote.fetchPlaylist = async () => {
  const answer = await Remote.json('playlist.json');
  if (answer.ok && answer.data) {
    const d = answer.data;
    const entries = (d.entries || []).map((e, i) => ({
      index: i,
      title: String(e.title ?? ''),
      filename: String(e.filename ?? ''),
      path: String(e.path ?? encodePath(String(e.filename ?? ''))),
    }));
    const playing = Number(d.playing);
    return { revision: d.revision ?? null, playing: Number.isFinite(playing) ? playing : -1, entries };
  }
  if (answer.status !== 404) return null;
  const xml = await Remote.request('GET', 'playlist.xml');
  const root = xml.ok ? parseXml(xml.text) : null;
  if (!root) return null;
  const entries = Array.from(root.getElementsByTagName('track'), (t, i) => ({
    index: i, title: xmlText(t, 'title'), filename: xmlText(t, 'filename'),
    path: encodePath(xmlText(t, 'filename')),
  }));
  return { revision: null, playing: parseInt(root.getAttribute('playing'), 10), entries };
};

// A folder listing: { path, root, crumbs, entries: [{ name, path, folder,
// size, mtime }], total, cut } or null. `path` is URL-ready (the server's
// encoded bytes, or an encoded "search://..." text); '' lists the shared folders.
Remote.fetchFolder = async (path, sortBy, sortDir) => {
  const args = ['path=' + path, Remote.arg('sortby', sortBy), Remote.arg('sortdir', sortDir)];
  const answer = await Remote.json('browse.json', args);
  if (answer.ok && answer.data) {
    const d = answer.data;
    const entries = (d.entries || []).map((e) => ({
      name: String(e.name ?? ''),
      path: String(e.path ?? ''),
      folder: e.type === 'dir',
      size: Number.isFinite(e.size) ? e.size : null,
      mtime: Number.isFinite(e.mtime) ? e.mtime : null,
    }));
    return {
      path: String(d.path ?? ''), root: Boolean(d.root), crumbs: d.crumbs || [], entries,
      total: Number.isFinite(d.total) ? d.total : null, cut: Boolean(d.cut), indexMissing: Boolean(d.indexMissing),
      indexing: Boolean(d.indexing),
    };
  }
  if (answer.status !== 404) return null;
  // The classic listing: JSON inside "callback(...);", every text percent-encoded.
  const old = await Remote.request('GET', 'library.js', args);
  if (!old.ok) return null;
  let d;
  try {
    d = JSON.parse(old.text.substring(old.text.indexOf('(') + 1, old.text.lastIndexOf(')')));
  } catch (e) {
    return null;
  }
  const decode = (t) => {
    try { return decodeURIComponent(t); } catch (e) { return unescape(t); }
  };
  const entries = d.files.filter((f) => f.type !== '$UP$').map((f) => ({
    name: decode(f.name).split('/').filter(Boolean).pop() || decode(f.name), path: f.path || '',
    folder: f.type === '%24DIR%24', size: null, mtime: null,
  }));
  return {
    path: d.path, root: d.path === '', crumbs: [], entries, total: null, cut: false, indexMissing: false, indexing: false,
  };
};

// ---- Live updates ----------------------------------------------------------

// Calls onStatus(status) and onPlaylist(revisionOrNull) whenever the player
// may have changed. Listens to "events"; polls while the stream is down
// (unless polling is off), and retries the stream now and then.
class LiveUpdates {
  constructor({ onStatus, onPlaylist, onLink }) {
    this.onStatus = onStatus;
    this.onPlaylist = onPlaylist;
    this.onLink = onLink || (() => {});
    this.source = null;
    this.statusTimer = null;
    this.playlistTimer = null;
    this.retryTimer = null;
    this.statusRun = null;
    this.statusAgain = false;
    this.pushedStatuses = 0;
  }

  start() {
    this.connect();
  }

  connect() {
    clearTimeout(this.retryTimer);
    if (!('EventSource' in window)) {
      this.startPolling();
      return;
    }
    const source = new EventSource('events');
    this.source = source;
    source.addEventListener('open', () => {
      this.stopPolling();
      this.onLink('live');
      // Whatever happened while the stream was down.
      this.refreshStatus();
      this.onPlaylist(null);
    });
    source.addEventListener('status', (e) => {
      this.pushedStatuses++;
      try {
        this.onStatus(Remote.normaliseStatus(JSON.parse(e.data)));
      } catch (err) {
        this.refreshStatus();
      }
    });
    source.addEventListener('playlist', (e) => {
      let revision = null;
      try {
        revision = JSON.parse(e.data).revision ?? null;
      } catch (err) {
        revision = null;
      }
      this.onPlaylist(revision);
    });
    source.addEventListener('error', () => {
      if (source.readyState === EventSource.CLOSED || source.readyState === EventSource.CONNECTING) {
        // The browser's own retries keep a dead stream in CONNECTING; poll meanwhile.
        source.close();
        this.source = null;
        this.onLink(Remote.POLL ? 'polling' : 'offline');
        this.startPolling();
        this.retryTimer = setTimeout(() => this.connect(), Remote.STREAM_RETRY_MS);
      }
    });
  }

  startPolling() {
    if (!Remote.POLL || this.statusTimer) return;
    this.refreshStatus();
    this.statusTimer = setInterval(() => this.refreshStatus(), Remote.STATUS_POLL_MS);
    this.playlistTimer = setInterval(() => this.onPlaylist(null), Remote.PLAYLIST_POLL_MS);
  }

  stopPolling() {
    clearInterval(this.statusTimer);
    clearInterval(this.playlistTimer);
    this.statusTimer = null;
    this.playlistTimer = null;
  }

  // One fetch at a time; a refresh asked for meanwhile fetches once more
  // (the promise settles after that one). An answer is dropped when the
  // stream pushed a status while it was on its way: the answer may predate
  // that status, and shown after it, it would stay until the player next
  // changed. Dropping it loses nothing, since the stream sends every change
  // that follows what it pushed.
  refreshStatus() {
    if (this.statusRun) {
      this.statusAgain = true;
      return this.statusRun;
    }
    this.statusRun = (async () => {
      do {
        this.statusAgain = false;
        const pushed = this.pushedStatuses;
        const status = await Remote.fetchStatus();
        if (status && pushed === this.pushedStatuses) this.onStatus(status);
      } while (this.statusAgain);
    })().finally(() => {
      this.statusRun = null;
    });
    return this.statusRun;
  }
}

Remote.LiveUpdates = LiveUpdates;
