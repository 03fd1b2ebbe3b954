// The queue pane: the play list with the playing entry marked, tap to play,
// remove by button or by swiping a row aside, reorder by dragging a row's
// handle (or its arrow keys), "play next", and clear with undo.
'use strict';

window.Remote = window.Remote || {};

const SWIPE_START_PX = 12;      // sideways travel before a touch counts as a swipe
const SWIPE_REMOVE_SHARE = 0.35; // share of the row's width that removes it
const UNDO_MS = 6000;

const icon = (name) => {
  const svg = document.createElementNS('http://www.w3.org/2000/svg', 'svg');
  svg.setAttribute('aria-hidden', 'true');
  const use = document.createElementNS('http://www.w3.org/2000/svg', 'use');
  use.setAttribute('href', '#' + name);
  svg.appendChild(use);
  return svg;
};

const button = (cls, label, iconName, text) => {
  const b = document.createElement('button');
  b.type = 'button';
  b.className = cls;
  if (label) b.setAttribute('aria-label', label);
  if (iconName) b.appendChild(icon(iconName));
  if (text !== undefined) {
    const span = document.createElement('span');
    span.textContent = text;
    b.appendChild(span);
  }
  return b;
};

Remote.icon = icon;
Remote.button = button;

class Queue {
  constructor(app) {
    this.app = app;
    this.entries = [];
    this.playing = -1;
    this.list = document.getElementById('queue-list');
    this.empty = document.getElementById('queue-empty');
    this.count = document.getElementById('queue-count');
    this.drag = null;
    this.swipe = null;
    this.suppressClick = false;
    document.getElementById('clear').addEventListener('click', () => this.clear());
    this.list.addEventListener('click', (e) => this.click(e));
    this.list.addEventListener('pointerdown', (e) => this.pointerDown(e));
    this.list.addEventListener('pointermove', (e) => this.pointerMove(e));
    this.list.addEventListener('pointerup', (e) => this.pointerUp(e));
    this.list.addEventListener('pointercancel', (e) => this.pointerUp(e));
    this.list.addEventListener('keydown', (e) => this.key(e));
  }

  show(list) {
    if (this.drag) return;  // the list is redrawn when the finger lets go
    this.entries = list.entries;
    const focused = document.activeElement && this.list.contains(document.activeElement)
      ? [document.activeElement.closest('li')?.dataset.index, document.activeElement.dataset.role] : null;
    this.list.replaceChildren(...this.entries.map((e, i) => this.row(e, i)));
    this.count.textContent = this.entries.length ? '(' + this.entries.length + ')' : '';
    this.empty.hidden = this.entries.length > 0;
    document.getElementById('clear').disabled = this.entries.length === 0;
    const playing = this.app.status && this.app.status.index >= 0 ? this.app.status.index : list.playing;
    this.setPlaying(playing, true);
    if (focused) {
      const li = this.list.children[Number(focused[0])] || this.list.lastElementChild;
      const target = li && li.querySelector(`[data-role="${focused[1]}"]`);
      if (target) target.focus({ preventScroll: true });
    }
  }

  row(entry, i) {
    const li = document.createElement('li');
    li.className = 'row queue-row';
    li.dataset.index = String(i);
    const title = entry.title || entry.filename.split(/[\\/]/).pop();
    const handle = button('icon handle', 'Move ' + title + ' (arrow keys)', 'i-grip');
    handle.dataset.role = 'handle';
    const main = button('row-main', null, null);
    main.dataset.role = 'play';
    main.setAttribute('aria-label', 'Play ' + title);
    const num = document.createElement('span');
    num.className = 'num';
    num.textContent = String(i + 1);
    const name = document.createElement('span');
    name.className = 'name';
    name.textContent = title;
    main.append(num, name);
    const next = button('icon', 'Play ' + title + ' next', 'i-next-up');
    next.dataset.role = 'next';
    const remove = button('icon', 'Remove ' + title, 'i-remove');
    remove.dataset.role = 'remove';
    li.append(handle, main, next, remove);
    return li;
  }

  setPlaying(index, force = false) {
    if (index === this.playing && !force) return;
    this.playing = index;
    for (const li of this.list.children) {
      const on = Number(li.dataset.index) === index;
      li.classList.toggle('playing', on);
      if (on) li.setAttribute('aria-current', 'true');
      else li.removeAttribute('aria-current');
    }
    this.revealPlaying();
  }

  // Scrolls the queue (not the page) so the playing entry is in view.
  revealPlaying() {
    const li = this.list.children[this.playing];
    if (!li) return;
    const pane = this.list.closest('.pane');
    if (!pane || pane.offsetParent === null) return;
    const top = li.offsetTop - pane.offsetTop;
    const fits = top >= pane.scrollTop && top + li.offsetHeight <= pane.scrollTop + pane.clientHeight;
    if (!fits) pane.scrollTop = Math.max(0, top - pane.clientHeight / 3);
  }

  indexOf(el) {
    const li = el.closest('li');
    return li ? Number(li.dataset.index) : -1;
  }

  click(e) {
    const b = e.target.closest('button');
    if (!b || this.suppressClick) {
      this.suppressClick = false;
      return;
    }
    const i = this.indexOf(b);
    if (i < 0) return;
    if (b.dataset.role === 'play') this.play(i);
    else if (b.dataset.role === 'next') this.playNext(i);
    else if (b.dataset.role === 'remove') this.remove(i);
  }

  key(e) {
    if (!e.target.dataset || e.target.dataset.role !== 'handle') return;
    const i = this.indexOf(e.target);
    const to = e.key === 'ArrowUp' ? i - 1 : e.key === 'ArrowDown' ? i + 1 : null;
    if (to === null) return;
    e.preventDefault();
    if (to >= 0 && to < this.entries.length) this.move(i, to, true);
  }

  async play(i) {
    this.setPlaying(i);
    await Remote.command('setplaylistpos', [Remote.arg('index', i)]);
    await this.app.act('play');
  }

  // Moves entry i to just after the playing one.
  async playNext(i) {
    const p = this.app.playingIndex();
    if (i === p) return;
    const to = p < 0 ? 0 : i < p ? p : p + 1;
    if (to === i) {
      this.app.toast.show('Already next.');
      return;
    }
    await this.move(i, to, false);
    this.app.toast.show('Plays next: ' + (this.entries[to]?.title || ''));
  }

  async move(from, to, keepFocus) {
    const moved = this.entries.splice(from, 1)[0];
    this.entries.splice(to, 0, moved);
    let playing = this.playing;
    if (playing === from) playing = to;
    else if (from < playing && to >= playing) playing--;
    else if (from > playing && to <= playing) playing++;
    this.show({ entries: this.entries, playing });
    if (keepFocus) this.list.children[to]?.querySelector('[data-role="handle"]')?.focus();
    await Remote.command('moveplaylistitem', [Remote.arg('from', from), Remote.arg('to', to)]);
    await this.app.changed();
  }

  async remove(i) {
    const entry = this.entries[i];
    if (!entry) return;
    await Remote.command('deleteplaylistitem', [Remote.arg('index', i)]);
    await this.app.changed();
    this.app.toast.show('Removed ' + (entry.title || 'entry'), {
      action: 'Undo', ms: UNDO_MS,
      onAction: async () => {
        await Remote.command('insertfile', ['filename=' + entry.path,
          Remote.arg('title', entry.title), Remote.arg('index', i)]);
        await this.app.changed();
      },
    });
  }

  async clear() {
    if (!this.entries.length) return;
    const ok = await Remote.confirm('Remove all ' + this.entries.length + ' entries from the queue?', 'Clear queue');
    if (!ok) return;
    const saved = this.entries.slice();
    const playing = this.app.playingIndex();
    await Remote.command('clearplaylist');
    await this.app.changed();
    this.app.toast.show('Queue cleared', {
      action: 'Undo', ms: UNDO_MS,
      onAction: () => this.restore(saved, playing),
    });
  }

  // Adds the saved entries back with their titles, and selects the entry
  // that was playing (without starting it).
  async restore(saved, playing) {
    await Remote.command('enqueueplaylist', [Remote.playlistArg(saved)]);
    if (playing >= 0) await Remote.command('setplaylistpos', [Remote.arg('index', playing)]);
    await this.app.changed();
  }

  // ---- Finger gestures: drag by the handle, swipe a row aside ----

  pointerDown(e) {
    if (e.button !== 0 || this.drag || this.swipe) return;
    const li = e.target.closest('li');
    if (!li) return;
    const isHandle = e.target.closest('[data-role="handle"]');
    if (isHandle) {
      e.preventDefault();
      isHandle.setPointerCapture(e.pointerId);
      const rows = Array.from(this.list.children);
      this.drag = { id: e.pointerId, li, from: Number(li.dataset.index), to: Number(li.dataset.index),
        startY: e.clientY, height: li.offsetHeight, rows };
      li.classList.add('dragging');
      return;
    }
    this.swipe = { id: e.pointerId, li, x: e.clientX, y: e.clientY, dx: 0, active: false };
  }

  pointerMove(e) {
    const d = this.drag;
    if (d && e.pointerId === d.id) {
      const dy = e.clientY - d.startY;
      d.to = Math.max(0, Math.min(d.rows.length - 1, d.from + Math.round(dy / d.height)));
      d.li.style.setProperty('transform', `translateY(${dy}px)`);
      d.rows.forEach((row, i) => {
        if (row === d.li) return;
        let shift = 0;
        if (d.to > d.from && i > d.from && i <= d.to) shift = -d.height;
        if (d.to < d.from && i < d.from && i >= d.to) shift = d.height;
        row.style.setProperty('transform', shift ? `translateY(${shift}px)` : '');
      });
      return;
    }
    const s = this.swipe;
    if (!s || e.pointerId !== s.id) return;
    const dx = e.clientX - s.x;
    const dy = e.clientY - s.y;
    if (!s.active) {
      if (Math.abs(dy) > SWIPE_START_PX) {
        this.swipe = null;  // a scroll
        return;
      }
      if (Math.abs(dx) < SWIPE_START_PX) return;
      s.active = true;
      s.li.setPointerCapture(e.pointerId);
      s.li.classList.add('swiping');
    }
    s.dx = dx;
    s.li.style.setProperty('transform', `translateX(${dx}px)`);
    s.li.style.setProperty('opacity', String(Math.max(0.2, 1 - Math.abs(dx) / s.li.offsetWidth)));
  }

  pointerUp(e) {
    const d = this.drag;
    if (d && e.pointerId === d.id) {
      this.drag = null;
      for (const row of d.rows) row.style.removeProperty('transform');
      d.li.classList.remove('dragging');
      this.suppressClick = true;
      setTimeout(() => { this.suppressClick = false; }, 0);
      if (e.type === 'pointerup' && d.to !== d.from) this.move(d.from, d.to, false);
      return;
    }
    const s = this.swipe;
    if (!s || e.pointerId !== s.id) return;
    this.swipe = null;
    if (!s.active) return;
    this.suppressClick = true;
    setTimeout(() => { this.suppressClick = false; }, 0);
    s.li.classList.remove('swiping');
    if (e.type === 'pointerup' && Math.abs(s.dx) > s.li.offsetWidth * SWIPE_REMOVE_SHARE) {
      s.li.classList.add('gone');
      this.remove(Number(s.li.dataset.index));
    } else {
      s.li.style.removeProperty('transform');
      s.li.style.removeProperty('opacity');
    }
  }
}

Remote.Queue = Queue;
