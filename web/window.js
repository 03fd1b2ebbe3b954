// In-page windows: a frame with a title bar, an optional close box and, when
// resizable, a footer with a resize handle around one content element.
//
// Every window remembers its place, size, stacking level and visibility in
// the cookie "w_params_" + id as six blank-separated values, e.g.
// "10px 180px 354px 400px 2 inline". The front window has level 2, the others
// 1 (0 until they have been in front); the front window's key handler gets
// the page's key presses.
'use strict';

class Window {
  static all = [];
  static byId = {};
  static TITLE_HEIGHT = 17;
  static FOOTER_HEIGHT = 24;

  static front() {
    return Window.all.find((w) => w.level === 2 && w.visible) || null;
  }

  constructor(id, options) {
    const o = Object.assign({
      left: 10, top: 10, width: 300, height: 200,
      titleImage: '', closable: false, resizable: false,
      minWidth: 200, minHeight: 50, borders: true, background: '',
      scroll: true, footer: null, content: null, onKey: null, onShow: null,
      parent: document.body,
    }, options);
    this.id = id;
    this.options = o;
    this.minWidth = o.minWidth;
    this.minHeight = o.minHeight;
    this.onKey = o.onKey;
    this.onShow = o.onShow;
    this.level = 0;
    this.left = o.left;
    this.top = o.top;
    this.width = o.width;
    this.height = o.height;
    this.visible = true;
    this.restore();
    this.build(o);
    this.apply();
    Window.all.push(this);
    Window.byId[id] = this;
  }

  get cookieName() {
    return 'w_params_' + this.id;
  }

  restore() {
    const saved = getCookie(this.cookieName);
    if (!saved) return;
    const v = saved.trim().split(/\s+/);
    if (v.length !== 6) return;
    const px = (text, fallback) => {
      const n = parseInt(text, 10);
      return Number.isFinite(n) ? n : fallback;
    };
    this.left = Math.max(0, px(v[0], this.left));
    this.top = Math.max(0, px(v[1], this.top));
    this.width = Math.max(this.minWidth, px(v[2], this.width));
    this.height = Math.max(this.minHeight, px(v[3], this.height));
    const level = parseInt(v[4], 10);
    this.level = level >= 0 && level <= 2 ? level : 0;
    this.visible = v[5] !== 'none';
  }

  save() {
    setCookie(this.cookieName, [this.left + 'px', this.top + 'px', this.width + 'px',
      this.height + 'px', this.level, this.visible ? 'inline' : 'none'].join(' '));
  }

  build(o) {
    const root = document.createElement('div');
    root.id = this.id;
    root.className = 'wWindow';
    if (o.background) root.style.background = o.background;

    const bar = document.createElement('div');
    bar.className = 'wTitleBar';
    bar.style.height = Window.TITLE_HEIGHT + 'px';
    bar.innerHTML = '<img class="wTitleLeft" src="waBoxTitleLeft.gif" alt="">' +
      '<img class="wTitleRight" src="waBoxTitleRight.gif" alt="">';
    if (o.titleImage) {
      const title = document.createElement('img');
      title.className = 'wTitleImage';
      title.src = o.titleImage;
      title.alt = this.id;
      bar.appendChild(title);
    }
    if (o.closable) {
      const close = document.createElement('img');
      close.className = 'wClose';
      close.src = 'closeBox.gif';
      close.alt = 'Close';
      close.title = 'Close';
      close.addEventListener('mousedown', (e) => e.stopPropagation());
      close.addEventListener('click', () => this.hide());
      bar.appendChild(close);
    }
    bar.addEventListener('mousedown', (e) => this.startMove(e));
    root.appendChild(bar);

    const body = document.createElement('div');
    body.className = 'wContent';
    body.style.top = Window.TITLE_HEIGHT + 'px';
    body.style.bottom = (o.resizable ? Window.FOOTER_HEIGHT : 0) + 'px';
    body.style.border = o.borders ? '1px solid black' : 'none';
    body.style.overflow = o.scroll ? 'auto' : 'hidden';
    if (o.content) body.appendChild(o.content);
    root.appendChild(body);
    this.body = body;

    if (o.resizable) {
      const footer = document.createElement('div');
      footer.className = 'wFooter';
      footer.style.height = Window.FOOTER_HEIGHT + 'px';
      footer.innerHTML = '<img class="wFooterLeft" src="waFooterLeft.gif" alt="">';
      const holder = document.createElement('div');
      holder.className = 'wFooterContent';
      if (o.footer) holder.appendChild(o.footer);
      footer.appendChild(holder);
      const grip = document.createElement('img');
      grip.className = 'wResize';
      grip.src = 'waResize.gif';
      grip.alt = '';
      grip.addEventListener('mousedown', (e) => this.startResize(e));
      footer.appendChild(grip);
      root.appendChild(footer);
      this.footer = footer;
    }
    root.addEventListener('mousedown', () => this.toFront(), true);
    o.parent.appendChild(root);
    this.root = root;
  }

  apply() {
    const s = this.root.style;
    s.left = this.left + 'px';
    s.top = this.top + 'px';
    s.width = this.width + 'px';
    s.height = this.height + 'px';
    s.zIndex = String(this.level);
    s.display = this.visible ? 'block' : 'none';
  }

  toFront() {
    if (!this.visible || this.level === 2) return;
    for (const other of Window.all) {
      if (other !== this && other.level === 2) {
        other.level = 1;
        other.apply();
        other.save();
      }
    }
    this.level = 2;
    this.apply();
    this.save();
  }

  show() {
    if (this.visible) return;
    this.visible = true;
    this.apply();
    this.save();
    if (this.onShow) this.onShow();
  }

  hide() {
    if (!this.visible) return;
    this.visible = false;
    this.apply();
    this.save();
  }

  toggle() {
    if (this.visible) this.hide();
    else this.show();
  }

  startMove(event) {
    if (event.button !== 0) return;
    event.preventDefault();
    const dx = event.clientX - this.left;
    const dy = event.clientY - this.top;
    track(event, (e) => {
      this.left = Math.max(0, e.clientX - dx);
      this.top = Math.max(0, e.clientY - dy);
      this.apply();
      this.save();
    });
  }

  startResize(event) {
    if (event.button !== 0) return;
    event.preventDefault();
    event.stopPropagation();
    this.toFront();
    const dx = event.clientX - this.width;
    const dy = event.clientY - this.height;
    track(event, (e) => {
      this.width = Math.max(this.minWidth, e.clientX - dx);
      this.height = Math.max(this.minHeight, e.clientY - dy);
      this.apply();
    }, () => this.save());
  }
}

// Follows the mouse from a press until its release, anywhere on the page.
function track(event, onMove, onEnd) {
  const move = (e) => {
    e.preventDefault();
    onMove(e);
  };
  const up = (e) => {
    document.removeEventListener('mousemove', move, true);
    document.removeEventListener('mouseup', up, true);
    if (onEnd) onEnd(e);
  };
  document.addEventListener('mousemove', move, true);
  document.addEventListener('mouseup', up, true);
}

// The front window's key handler receives the page's key presses.
document.addEventListener('keydown', (e) => {
  if (isTyping(e)) return;
  const front = Window.front();
  if (front && front.onKey) front.onKey(e);
});

function isTyping(event) {
  const t = event.target;
  return t && (t.tagName === 'INPUT' || t.tagName === 'TEXTAREA' || t.tagName === 'SELECT');
}
