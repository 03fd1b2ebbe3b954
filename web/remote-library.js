// The library pane: shared folders with a breadcrumb, sorting, dates and
// sizes; per row "play now", "play next" and "add"; search as you type.
'use strict';

window.Remote = window.Remote || {};

const SEARCH_DELAY_MS = 250;
// While the server indexes, the listing is asked for again this often, so
// the note goes and the results come once the pass is done.
const INDEXING_RECHECK_MS = 3000;

// "morning ev" -> "morning ev*": the word being typed matches as a prefix.
// Quoted phrases, words with a wildcard already and the operators are left alone.
Remote.searchQuery = (text) => {
  const q = text.trim();
  if (!q) return '';
  const m = /(^|\s)([^\s"]+)$/.exec(q);
  if (!m) return q;
  const word = m[2];
  if (/[*?)\]]$/.test(word) || /^(AND|OR|NOT|[-+])$/.test(word) || /:$/.test(word)) return q;
  if (/[(\[]/.test(word) || /"/.test(q.replace(/"[^"]*"/g, ''))) return q;
  return q + '*';
};

Remote.size = (bytes) => {
  if (bytes === null || bytes === undefined) return '';
  // A no-break space keeps number and unit on one line.
  if (bytes < 1024) return bytes + '\u00a0B';
  const units = ['KB', 'MB', 'GB', 'TB'];
  let v = bytes / 1024;
  let i = 0;
  while (v >= 1024 && i < units.length - 1) {
    v /= 1024;
    i++;
  }
  return (v < 10 ? v.toFixed(1) : Math.round(v)) + '\u00a0' + units[i];
};

class Library {
  constructor(app) {
    this.app = app;
    this.path = '';
    this.folderPath = '';     // the folder shown before a search started
    this.trail = [];          // folders opened from the root, for servers that send no crumbs
    this.sortBy = Number(localStorage.getItem('lyrebox.remote.sortby') || 0);
    this.sortDir = Number(localStorage.getItem('lyrebox.remote.sortdir') || 0);
    this.loadSeq = 0;
    this.searchTimer = null;
    this.recheckTimer = null;
    this.list = document.getElementById('library-list');
    this.crumbs = document.getElementById('crumbs');
    this.note = document.getElementById('library-note');
    this.input = document.getElementById('search');
    this.foldersOnly = document.getElementById('folders-only');
    this.sortSelect = document.getElementById('sort-by');
    this.sortButton = document.getElementById('sort-dir');
    this.sortSelect.value = String(this.sortBy);
    this.showSortDir();
    this.sortSelect.addEventListener('change', () => {
      this.sortBy = Number(this.sortSelect.value);
      localStorage.setItem('lyrebox.remote.sortby', String(this.sortBy));
      this.reload();
    });
    this.sortButton.addEventListener('click', () => {
      this.sortDir = this.sortDir ? 0 : 1;
      localStorage.setItem('lyrebox.remote.sortdir', String(this.sortDir));
      this.showSortDir();
      this.reload();
    });
    document.getElementById('search-form').addEventListener('submit', (e) => {
      e.preventDefault();
      this.searchNow();
      this.input.blur();  // closes a phone's keyboard
    });
    this.input.addEventListener('input', () => this.searchSoon());
    this.foldersOnly.addEventListener('change', () => this.searchNow());
    this.list.addEventListener('click', (e) => this.click(e));
    this.crumbs.addEventListener('click', (e) => {
      const b = e.target.closest('button');
      if (!b) return;
      this.input.value = '';
      this.open(b.dataset.path, Number(b.dataset.depth));
    });
  }

  showSortDir() {
    const desc = this.sortDir === 1;
    this.sortButton.setAttribute('aria-pressed', String(desc));
    this.sortButton.setAttribute('aria-label', desc ? 'Descending order' : 'Ascending order');
    this.sortButton.querySelector('span').textContent = desc ? 'Z-A' : 'A-Z';
    this.sortButton.classList.toggle('desc', desc);
  }

  searchSoon() {
    clearTimeout(this.searchTimer);
    this.searchTimer = setTimeout(() => this.searchNow(), SEARCH_DELAY_MS);
  }

  searchNow() {
    clearTimeout(this.searchTimer);
    const q = Remote.searchQuery(this.input.value);
    if (!q) {
      if (this.isSearch()) this.open(this.folderPath, this.trail.length);
      return;
    }
    if (!this.isSearch()) this.folderPath = this.path;
    const scheme = this.foldersOnly.checked ? 'searchf://' : 'search://';
    this.load(encodeURIComponent(scheme + q));
  }

  isSearch() {
    return /^searchf?%3a/i.test(this.path);
  }

  // Opens a folder; depth is its place in the trail (0 the root), or
  // undefined for a folder one below the one shown.
  open(path, depth) {
    if (depth !== undefined) this.trail.length = depth;
    this.load(path);
  }

  reload() {
    this.load(this.path);
  }

  // recheck: the same listing asked for again while the server indexes; it
  // keeps the scroll position.
  async load(path, recheck = false) {
    const seq = ++this.loadSeq;
    clearTimeout(this.recheckTimer);
    this.list.setAttribute('aria-busy', 'true');
    const listing = await Remote.fetchFolder(path, this.sortBy, this.sortDir);
    if (seq !== this.loadSeq) return;  // a later request wins
    this.list.removeAttribute('aria-busy');
    if (!listing) {
      this.note.textContent = 'The library did not answer.';
      return;
    }
    this.path = this.isSearchPath(path) ? path : listing.path;
    const pane = this.list.closest('.pane');
    const scrolled = pane.scrollTop;
    this.show(listing, this.isSearchPath(path));
    if (recheck) pane.scrollTop = scrolled;
    if (listing.indexing) this.recheckTimer = setTimeout(() => this.load(path, true), INDEXING_RECHECK_MS);
  }

  isSearchPath(path) {
    return /^searchf?%3a/i.test(path);
  }

  show(listing, search) {
    this.list.replaceChildren(...listing.entries.map((e, i) => this.row(e, i)));
    this.entries = listing.entries;
    this.list.closest('.pane').scrollTop = 0;
    let text;
    if (search && listing.indexMissing) {
      text = listing.indexing ? 'No results yet: the index is being built.' : 'The library has no search index yet.';
    } else if (search) {
      const n = listing.total ?? listing.entries.length;
      text = n === 1 ? '1 result' : n + ' results';
      if (listing.cut) text += ` — only the first ${listing.entries.length} are shown; type more to narrow the search`;
      if (listing.indexing) text += ' (indexing...)';
    } else {
      text = listing.entries.length ? '' : 'This folder has no music.';
      if (listing.indexing) text = text ? text + ' (indexing...)' : 'indexing...';
    }
    // Set only when it changes: the note is a live region, read out anew.
    if (this.note.textContent !== text) this.note.textContent = text;
    this.showCrumbs(listing, search);
  }

  showCrumbs(listing, search) {
    const parts = [{ name: 'Library', path: '' }];
    if (search) {
      parts.push({ name: 'Search', path: null });
    } else if (listing.crumbs.length) {
      listing.crumbs.forEach((c, i) => {
        // The shared folder's crumb is its full path; its last name reads better.
        const name = i === 0 ? c.name.split('/').filter(Boolean).pop() || c.name : c.name;
        parts.push({ name, path: c.path });
      });
    } else if (listing.path) {
      parts.push(...this.trail);
    }
    this.trail = parts.slice(1).filter((p) => p.path !== null);
    const nodes = parts.map((p, i) => {
      const last = i === parts.length - 1;
      const b = document.createElement('button');
      b.type = 'button';
      b.className = 'crumb';
      b.textContent = p.name;
      b.dataset.path = p.path ?? '';
      b.dataset.depth = String(i);
      if (last) b.setAttribute('aria-current', 'location');
      if (p.path === null) b.disabled = true;
      return b;
    });
    this.crumbs.replaceChildren(...nodes);
    this.crumbs.scrollLeft = this.crumbs.scrollWidth;
  }

  row(entry, i) {
    const li = document.createElement('li');
    li.className = 'row library-row' + (entry.folder ? ' folder' : ' file');
    li.dataset.index = String(i);
    const main = document.createElement(entry.folder ? 'button' : 'div');
    main.className = 'row-main';
    if (entry.folder) {
      main.type = 'button';
      main.dataset.role = 'open';
      main.setAttribute('aria-label', 'Open folder ' + entry.name);
    }
    main.appendChild(Remote.icon(entry.folder ? 'i-folder' : 'i-note'));
    const text = document.createElement('span');
    text.className = 'text';
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = entry.name;
    text.appendChild(name);
    const meta = [];
    if (entry.mtime) meta.push(new Date(entry.mtime * 1000).toLocaleDateString());
    if (!entry.folder && entry.size !== null) meta.push(Remote.size(entry.size));
    if (meta.length) {
      const m = document.createElement('span');
      m.className = 'meta';
      m.textContent = meta.join(' · ');
      text.appendChild(m);
    }
    main.appendChild(text);
    const now = Remote.button('icon', 'Play ' + entry.name + ' now', 'i-play');
    now.dataset.role = 'now';
    const next = Remote.button('icon', 'Play ' + entry.name + ' next', 'i-next-up');
    next.dataset.role = 'next';
    const add = Remote.button('icon', 'Add ' + entry.name + ' to the queue', 'i-add');
    add.dataset.role = 'add';
    li.append(main, now, next, add);
    return li;
  }

  click(e) {
    const b = e.target.closest('button');
    if (!b) return;
    const entry = this.entries[Number(b.closest('li').dataset.index)];
    if (!entry) return;
    switch (b.dataset.role) {
      case 'open':
        if (this.isSearch()) {
          this.input.value = '';
          this.trail = [];
        }
        this.open(entry.path);
        break;
      case 'now': this.playNow(entry); break;
      case 'next': this.playNext(entry); break;
      case 'add': this.add(entry); break;
      default: break;
    }
  }

  // Right after the playing entry, so the queue stays as it is.
  insertAt() {
    const p = this.app.playingIndex();
    return p < 0 ? 0 : p + 1;
  }

  async insert(entry, index) {
    const answer = await Remote.command('insertfile',
      ['filename=' + entry.path, Remote.arg('title', entry.folder ? '' : entry.name), Remote.arg('index', index)]);
    return answer.ok && answer.text.trim() === '1';
  }

  async playNow(entry) {
    const index = this.insertAt();
    if (!(await this.insert(entry, index))) {
      this.app.toast.show('Could not add ' + entry.name);
      return;
    }
    await Remote.command('setplaylistpos', [Remote.arg('index', index)]);
    await this.app.act('play');
    await this.app.changed();
    this.app.toast.show('Playing ' + entry.name);
  }

  async playNext(entry) {
    const ok = await this.insert(entry, this.insertAt());
    await this.app.changed();
    this.app.toast.show(ok ? 'Plays next: ' + entry.name : 'Could not add ' + entry.name);
  }

  async add(entry) {
    const answer = await Remote.command('enqueuefile',
      ['filename=' + entry.path, Remote.arg('title', entry.folder ? '' : entry.name)]);
    await this.app.changed();
    const ok = answer.ok && answer.text.trim() === '1';
    this.app.toast.show(ok ? 'Added ' + entry.name : 'Could not add ' + entry.name);
  }
}

Remote.Library = Library;
