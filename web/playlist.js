// The play-list window's content: one table row per entry of the player's
// play list, the playing mark, selection, drag to reorder and the keys.
//
// Polls "playlist.xml" 5000 ms after the previous answer was handled; a poll
// is postponed while one is unanswered, the window is hidden or a drag runs.
'use strict';

class Playlist {
  static POLL_MS = 5000;

  constructor(parent, win) {
    this.client = new Tunelet();       // commands
    this.poller = new Tunelet();       // play-list polls
    this.win = win;
    this.entries = [];
    this.table = null;
    this.selected = -1;
    this.playing = -1;
    this.pollPending = false;
    this.drag = null;
    this.timer = 0;
    this.box = document.createElement('div');
    this.box.className = 'plBox';
    parent.appendChild(this.box);
    this.scroller = win.body;
    document.addEventListener('mouseup', () => this.endDrag());
    window.addEventListener('pagehide', () => { this.entries = []; });
  }

  start() {
    this.poll();
  }

  schedule(ms) {
    clearTimeout(this.timer);
    this.timer = setTimeout(() => this.poll(), ms);
  }

  poll() {
    if (this.pollPending || !this.win.visible || this.drag) {
      this.schedule(Playlist.POLL_MS);
      return;
    }
    clearTimeout(this.timer);
    this.pollPending = true;
    this.poller.playlist(async (answer) => {
      this.pollPending = false;
      try {
        if (answer.xml) await this.update(answer.xml);
      } finally {
        this.schedule(Playlist.POLL_MS);
      }
    });
  }

  async update(doc) {
    const root = doc.documentElement;
    if (!root || root.nodeName !== 'playlist') return;
    const dirty = root.getAttribute('dirty');
    if (dirty === null || dirty === '1' || !this.table) {
      const entries = [];
      for (const track of root.getElementsByTagName('track')) {
        const get = (tag) => {
          const el = track.getElementsByTagName(tag)[0];
          return el ? el.textContent : null;
        };
        const index = get('index');
        const title = get('title');
        const file = get('filename');
        if (index === null || title === null || file === null) continue;
        entries.push({ title, file });
      }
      this.entries = entries;
      this.render();
    }
    const pos = await this.poller.getPlaylistPos();
    if (pos !== null && pos !== this.playing) this.setPlaying(pos, true);
  }

  render() {
    const table = document.createElement('table');
    table.className = 'plTable';
    table.cellSpacing = 0;
    const body = document.createElement('tbody');
    this.entries.forEach((entry) => body.appendChild(this.makeRow(entry)));
    table.appendChild(body);
    table.addEventListener('mousedown', (e) => this.rowPress(e));
    table.addEventListener('mouseover', (e) => this.rowOver(e));
    table.addEventListener('dblclick', (e) => {
      const i = this.rowIndex(e.target);
      if (i >= 0) this.playEntry(i);
    });
    this.box.replaceChildren(table);
    this.table = table;
    this.body = body;
    if (this.selected >= this.entries.length) this.selected = -1;
    this.restyle();
  }

  makeRow(entry) {
    const row = document.createElement('tr');
    const num = document.createElement('td');
    num.className = 'plNum';
    const bold = document.createElement('b');
    num.appendChild(bold);
    const title = document.createElement('td');
    title.className = 'plTitle';
    title.textContent = entry.title;
    title.title = entry.file;
    row.append(num, title);
    return row;
  }

  // Numbers and style classes of every row from the entries, selection and playing mark.
  restyle() {
    if (!this.body) return;
    Array.from(this.body.rows).forEach((row, i) => {
      row.className = i === this.selected ? 'plChoiceSelected' : 'plChoice';
      row.cells[0].firstChild.textContent = String(i + 1);
      const cellClass = i === this.playing ? 'plChoicePlaying' : 'plChoice';
      row.cells[0].className = cellClass + ' plNum';
      row.cells[1].className = cellClass + ' plTitle';
    });
  }

  rowIndex(target) {
    const row = target.closest ? target.closest('tr') : null;
    if (!row || !this.body || row.parentElement !== this.body) return -1;
    return row.sectionRowIndex;
  }

  setPlaying(index, scroll) {
    this.playing = index;
    this.restyle();
    if (!scroll || !this.body) return;
    const row = this.body.rows[index];
    if (!row) return;
    const s = this.scroller;
    s.scrollTop = Math.max(0, row.offsetTop - s.clientHeight / 2 + row.offsetHeight / 2);
  }

  select(index, reveal) {
    this.selected = index;
    this.restyle();
    if (reveal && this.body && this.body.rows[index]) {
      this.body.rows[index].scrollIntoView({ block: 'nearest' });
    }
  }

  rowPress(e) {
    if (e.button !== 0) return;
    const i = this.rowIndex(e.target);
    if (i < 0) return;
    e.preventDefault();
    this.select(i, false);
    this.drag = { from: i, at: i };
  }

  rowOver(e) {
    if (!this.drag) return;
    const j = this.rowIndex(e.target);
    if (j < 0 || j === this.drag.at) return;
    this.moveLocal(this.drag.at, j);
    this.drag.at = j;
  }

  // Moves an entry in the page; the selection and the playing mark follow their rows.
  moveLocal(from, to) {
    const [entry] = this.entries.splice(from, 1);
    this.entries.splice(to, 0, entry);
    const row = this.body.rows[from];
    row.remove();
    this.body.insertBefore(row, this.body.rows[to] || null);
    const follow = (p) => {
      if (p === from) return to;
      if (from < to && p > from && p <= to) return p - 1;
      if (from > to && p >= to && p < from) return p + 1;
      return p;
    };
    this.selected = follow(this.selected);
    this.playing = follow(this.playing);
    this.restyle();
  }

  endDrag() {
    const drag = this.drag;
    if (!drag) return;
    this.drag = null;
    this.select(drag.at, false);
    if (drag.from !== drag.at) this.client.movePlaylistItem(drag.from, drag.at);
  }

  async playEntry(index) {
    this.setPlaying(index, false);
    const answer = await this.client.setPlaylistPos(index);
    if (answer !== null) this.client.play();
  }

  async deleteSelected() {
    const i = this.selected;
    if (i < 0 || i >= this.entries.length) return;
    const answer = await this.client.deletePlaylistItem(i);
    if (answer !== '1') return;
    this.entries.splice(i, 1);
    this.body.rows[i].remove();
    if (this.playing === i) this.playing = -1;
    else if (this.playing > i) this.playing--;
    this.selected = this.entries.length ? Math.min(i, this.entries.length - 1) : -1;
    this.restyle();
  }

  onKey(e) {
    const n = this.entries.length;
    switch (e.keyCode) {
      case 13:
        if (this.selected >= 0) this.playEntry(this.selected);
        break;
      case 46:
        this.deleteSelected();
        break;
      case 38:
        if (!n) return;
        this.select(this.selected < 0 ? n - 1 : Math.max(0, this.selected - 1), true);
        break;
      case 40:
        if (!n) return;
        this.select(this.selected < 0 ? 0 : Math.min(n - 1, this.selected + 1), true);
        break;
      default:
        return;
    }
    e.preventDefault();
  }

  async clear() {
    await this.client.clearPlaylist();
    this.poll();
  }

  // Adds a row at once, before the next poll confirms it (at the end without an index).
  addLocal(title, file, index) {
    if (!this.table) return;
    const at = index === undefined || index < 0 || index > this.entries.length ? this.entries.length : index;
    const entry = { title, file };
    this.entries.splice(at, 0, entry);
    this.body.insertBefore(this.makeRow(entry), this.body.rows[at] || null);
    if (this.playing >= at) this.playing++;
    if (this.selected >= at) this.selected++;
    this.restyle();
  }
}
