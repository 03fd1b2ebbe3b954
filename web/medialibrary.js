// The media-library window's content: listings of the shared folders of this
// or another server, loaded as scripts through loadListing (json.js).
//
// Paths are kept in the percent-encoded form the listing delivers them in, so
// names whose bytes are not UTF-8 go back to the server unchanged; names are
// decoded for display only. In the "library" page (no player control) entries
// are download and stream links instead.
'use strict';

class MediaLibrary {
  // The address the browser used; the page's own origin when the server had none to give.
  static HOST = '<<HOST>>' || location.host;
  static FILE_TYPES = ['mp3', 'wav', 'ogg', 'flac', 'mp4', 'm4a', 'wma'];

  constructor(parent, win, playerControl) {
    this.win = win;
    this.playerControl = playerControl;
    this.client = new Tunelet();
    this.host = (playerControl && getCookie('mlHost')) || MediaLibrary.HOST;
    this.path = getCookie('mlPath') || '';
    this.sortBy = MediaLibrary.cookieInt('sortMethod', [0, 1, 2]);
    this.sortDir = MediaLibrary.cookieInt('sortDir', [0, 1]);
    this.auth = '';
    this.entries = [];
    this.waiting = false;
    this.box = document.createElement('div');
    this.box.className = 'mlBox';
    this.loading = document.createElement('img');
    this.loading.className = 'loading';
    this.loading.src = 'loading.gif';
    this.loading.alt = 'Loading';
    this.list = document.createElement('div');
    this.box.append(this.loading, this.list);
    parent.appendChild(this.box);
    this.scroller = win.body;
    this.box.addEventListener('click', (e) => this.clicked(e));
    if (playerControl) this.box.addEventListener('mousedown', (e) => this.pressName(e));
  }

  static cookieInt(name, allowed) {
    const v = parseInt(getCookie(name), 10);
    return allowed.includes(v) ? v : 0;
  }

  static decode(text) {
    try {
      return decodeURIComponent(text);
    } catch (e) {
      return unescape(text);
    }
  }

  isRemote() {
    return this.host !== MediaLibrary.HOST;
  }

  start() {
    this.load();
  }

  load() {
    this.loading.style.display = '';
    if (!this.win.visible) {
      this.waiting = true;
      return;
    }
    this.waiting = false;
    loadListing(this.host, 'library.js', [
      'callback=document.ml.redraw',
      'path=' + this.path,
      'sortby=' + this.sortBy,
      'sortdir=' + this.sortDir,
    ], () => { this.loading.style.display = 'none'; });
  }

  shown() {
    if (this.waiting) this.load();
  }

  // Called by the listing script.
  redraw(listing) {
    this.loading.style.display = 'none';
    if (!listing || !Array.isArray(listing.files)) return;
    this.path = String(listing.path || '');
    setCookie('mlPath', this.path);
    this.auth = String(listing.auth || '');
    const root = this.path === '';
    this.entries = listing.files.map((f) => {
      const type = MediaLibrary.decode(String(f.type || ''));
      const kind = type === '$UP$' ? 'up' : type === '$DIR$' ? 'dir'
        : MediaLibrary.FILE_TYPES.includes(type) ? 'file' : 'list';
      return {
        name: kind === 'up' ? '..' : MediaLibrary.decode(String(f.name || '')),
        enc: String(f.path || ''),
        kind,
      };
    });
    this.root = root;
    this.render();
  }

  render() {
    const t = document.createElement('table');
    t.className = 'mlTable';
    t.cellSpacing = 0;
    const head = t.createTHead().insertRow();
    head.insertCell().className = 'mlHead mlIcons';
    ['Name', 'Date', 'Size'].forEach((label, key) => {
      const cell = head.insertCell();
      cell.className = 'mlHead';
      cell.dataset.sort = String(key);
      cell.textContent = label;
      if (key === this.sortBy) {
        const arrow = document.createElement('img');
        arrow.src = this.sortDir ? 'desc.gif' : 'asc.gif';
        arrow.alt = this.sortDir ? 'descending' : 'ascending';
        cell.append(' ', arrow);
      }
    });
    const body = t.createTBody();
    this.entries.forEach((entry, i) => {
      const row = body.insertRow();
      row.className = 'mlRow';
      row.dataset.index = String(i);
      const icons = row.insertCell();
      icons.className = 'mlIcons';
      const name = row.insertCell();
      name.className = 'mlName';
      name.colSpan = 3;
      if (this.playerControl) this.playerRow(entry, icons, name);
      else this.linkRow(entry, icons, name);
    });
    this.list.replaceChildren(t);
    this.scroller.scrollTop = 0;
  }

  static icon(src, action, title) {
    const img = document.createElement('img');
    img.src = src;
    img.alt = title;
    img.title = title;
    img.draggable = false;
    if (action) img.dataset.action = action;
    return img;
  }

  kindIcon(entry) {
    const src = { up: 'folder_up.gif', dir: 'folder.gif', file: 'mp3.gif', list: 'm3u.gif' }[entry.kind];
    return MediaLibrary.icon(src, '', entry.kind);
  }

  playerRow(entry, icons, name) {
    icons.append(MediaLibrary.icon('play.gif', 'play', 'Play'), MediaLibrary.icon('plus.gif', 'enqueue', 'Enqueue'),
      this.kindIcon(entry));
    const span = document.createElement('span');
    span.className = 'mlLink';
    span.dataset.action = 'open';
    span.textContent = entry.name;
    name.appendChild(span);
  }

  linkRow(entry, icons, name) {
    const link = (what, content) => {
      const a = document.createElement('a');
      a.href = this.serverUrl(what, entry.enc);
      a.append(content);
      return a;
    };
    if (entry.kind === 'up') {
      icons.appendChild(this.kindIcon(entry));
    } else {
      icons.append(link('stream', MediaLibrary.icon('play.gif', '', 'Stream')), this.kindIcon(entry));
    }
    if (entry.kind === 'file' || entry.kind === 'list') {
      name.appendChild(link('download', entry.name));
    } else {
      const span = document.createElement('span');
      span.className = 'mlLink';
      span.dataset.action = 'open';
      span.textContent = entry.name;
      name.appendChild(span);
    }
  }

  serverUrl(what, enc) {
    return 'http://' + this.host + '/' + what + '?path=' + enc + '&auth=' + encodeURIComponent(this.auth);
  }

  // The file name the player is given: the library path, or for another
  // server's library that server's stream address.
  fileParam(enc) {
    if (!this.isRemote()) return enc;
    return encodeURIComponent(this.serverUrl('stream', enc));
  }

  parentPath() {
    const p = this.path;
    if (/^searchf?(%3a|:)/i.test(p)) return '';
    const parts = p.split(/%2f/i);
    while (parts.length && parts[parts.length - 1] === '') parts.pop();
    parts.pop();
    return parts.length ? parts.join('%2f') + '%2f' : '';
  }

  entryAt(target) {
    const row = target.closest('tr.mlRow');
    return row ? this.entries[Number(row.dataset.index)] : null;
  }

  clicked(e) {
    if (this.suppressClick) {
      this.suppressClick = false;
      return;
    }
    const head = e.target.closest('td.mlHead');
    if (head && head.dataset.sort !== undefined) {
      const key = Number(head.dataset.sort);
      if (key === this.sortBy) this.sortDir = 1 - this.sortDir;
      else {
        this.sortBy = key;
        this.sortDir = 0;
      }
      this.load();
      return;
    }
    const action = e.target.dataset ? e.target.dataset.action : undefined;
    const entry = this.entryAt(e.target);
    if (!action || !entry) return;
    if (action === 'open') {
      if (entry.kind === 'up') this.open(this.parentPath());
      else if (entry.kind === 'dir') this.open(entry.enc + '%2f');
      else if (this.playerControl) this.enqueue(entry);
    } else if (action === 'play') {
      this.play(entry);
    } else if (action === 'enqueue') {
      this.enqueue(entry);
    }
  }

  open(path) {
    this.path = path;
    this.load();
  }

  // The entry itself, or the current folder for the parent row.
  target(entry) {
    return entry.kind === 'up' ? { enc: this.path, name: MediaLibrary.decode(this.path) } : entry;
  }

  play(entry) {
    const t = this.target(entry);
    this.client.playFile(this.fileParam(t.enc), t.name, () => {
      if (document.pl) document.pl.poll();
      if (document.console) document.console.poll();
    });
  }

  enqueue(entry) {
    const t = this.target(entry);
    if (entry.kind === 'file' && document.pl) document.pl.addLocal(t.name, MediaLibrary.decode(t.enc));
    this.client.enqueueFile(this.fileParam(t.enc), t.name, () => {
      if (document.pl) document.pl.poll();
    });
  }

  insert(entry, index) {
    const pl = document.pl;
    if (pl) pl.addLocal(entry.name, MediaLibrary.decode(entry.enc), index);
    this.client.insertFile(this.fileParam(entry.enc), entry.name, index, () => {
      if (pl) pl.poll();
    });
  }

  // Dragging a name shows a copy under the mouse; dropping it on the play
  // list inserts the entry at the row (or at the end).
  pressName(e) {
    if (e.button !== 0 || !e.target.dataset || e.target.dataset.action !== 'open') return;
    const entry = this.entryAt(e.target);
    if (!entry || entry.kind === 'up') return;
    e.preventDefault();
    const x0 = e.clientX;
    const y0 = e.clientY;
    let ghost = null;
    track(e, (m) => {
      if (!ghost && Math.abs(m.clientX - x0) + Math.abs(m.clientY - y0) < 5) return;
      if (!ghost) {
        ghost = document.createElement('div');
        ghost.className = 'mlDrag';
        ghost.textContent = entry.name;
        document.body.appendChild(ghost);
      }
      ghost.style.left = (m.clientX + 8) + 'px';
      ghost.style.top = (m.clientY + 8) + 'px';
    }, (u) => {
      if (!ghost) return;
      ghost.remove();
      this.suppressClick = true;
      setTimeout(() => { this.suppressClick = false; }, 0);
      this.drop(entry, u.clientX, u.clientY);
    });
  }

  drop(entry, x, y) {
    const w = Window.byId.playlist;
    const pl = document.pl;
    if (!w || !w.visible || !pl) return;
    const under = document.elementFromPoint(x, y);
    if (!under || !w.root.contains(under)) return;
    const i = pl.rowIndex(under);
    this.insert(entry, i >= 0 ? i : pl.entries.length);
  }

  onKey(e) {
    if (e.keyCode === 38 || e.keyCode === 40) {
      this.scroller.scrollTop += e.keyCode === 38 ? -16 : 16;
      e.preventDefault();
    }
  }

  connect(address) {
    const host = address.trim() || MediaLibrary.HOST;
    this.host = host;
    setCookie('mlHost', host);
    this.open('');
  }

  search(query, foldersOnly) {
    this.open(encodeURIComponent((foldersOnly ? 'searchf://' : 'search://') + query));
  }

  // The window's footer: the connect form (with player control) and the search form.
  static footer(playerControl) {
    const box = document.createElement('div');
    box.className = 'mlFooter';
    if (playerControl) {
      const connect = document.createElement('form');
      connect.className = 'mlConnect';
      connect.innerHTML = '<input type="text" name="host" size="16" placeholder="host:port" title="Library of another server">' +
        '<input type="image" src="mlconnect.gif" alt="Connect" title="Connect">';
      connect.host.value = getCookie('mlHost') || '';
      connect.addEventListener('submit', (e) => {
        e.preventDefault();
        document.ml.connect(connect.host.value);
      });
      box.appendChild(connect);
    }
    const search = document.createElement('form');
    search.className = 'mlSearch';
    search.innerHTML = '<input type="text" name="query" size="16" title="Search the library">' +
      '<label><input type="checkbox" name="folders">Folders Only</label>' +
      '<input type="image" src="search.gif" alt="Search" title="Search">';
    search.addEventListener('submit', (e) => {
      e.preventDefault();
      document.ml.search(search.query.value, search.folders.checked);
    });
    box.appendChild(search);
    return box;
  }
}
