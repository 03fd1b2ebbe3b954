// A horizontal slider: a background image with a draggable handle image.
//
// The value runs from min to max over `travel` pixels of handle movement.
// onMove(value) runs on every movement made by the user, onPress when the
// user takes hold of it, onRelease(value) when the mouse is let go.
'use strict';

class Slider {
  constructor(parent, options) {
    const o = Object.assign({
      left: 0, top: 0, background: '', handle: '', handleTop: 0, travel: 100,
      min: 0, max: 100, title: '', onMove: null, onPress: null, onRelease: null,
    }, options);
    this.o = o;
    this.offset = 0;
    this.dragging = false;
    const el = document.createElement('div');
    el.className = 'slider';
    el.style.left = o.left + 'px';
    el.style.top = o.top + 'px';
    el.title = o.title;
    const bg = document.createElement('img');
    bg.src = o.background;
    bg.alt = '';
    bg.draggable = false;
    el.appendChild(bg);
    const handle = document.createElement('img');
    handle.className = 'sliderHandle';
    handle.src = o.handle;
    handle.alt = '';
    handle.draggable = false;
    handle.style.top = o.handleTop + 'px';
    el.appendChild(handle);
    parent.appendChild(el);
    this.el = el;
    this.handle = handle;
    handle.addEventListener('mousedown', (e) => this.press(e, false));
    bg.addEventListener('mousedown', (e) => this.press(e, true));
    this.place();
  }

  get value() {
    const o = this.o;
    return o.min + Math.round((o.max - o.min) * this.offset / o.travel);
  }

  // Sets the value shown; a value set while the user holds the handle is ignored.
  setValue(value) {
    if (this.dragging) return;
    const o = this.o;
    const v = Math.min(o.max, Math.max(o.min, Number(value) || 0));
    this.offset = Math.round(o.travel * (v - o.min) / (o.max - o.min));
    this.place();
  }

  place() {
    this.handle.style.left = this.offset + 'px';
  }

  press(event, onBackground) {
    if (event.button !== 0) return;
    event.preventDefault();
    const box = this.el.getBoundingClientRect();
    const x = event.clientX - box.left;
    if (onBackground) {
      // Only a press near the handle's track jumps the handle there.
      const y = event.clientY - box.top;
      if (y < this.o.handleTop - 5 || y > this.o.handleTop + 15) return;
      this.offset = this.clamp(x - this.handle.offsetWidth / 2);
      this.place();
    }
    this.dragging = true;
    if (this.o.onPress) this.o.onPress();
    if (onBackground && this.o.onMove) this.o.onMove(this.value);
    const grip = x - this.offset;
    track(event, (e) => {
      const bx = this.el.getBoundingClientRect().left;
      this.offset = this.clamp(e.clientX - bx - grip);
      this.place();
      if (this.o.onMove) this.o.onMove(this.value);
    }, () => {
      this.dragging = false;
      if (this.o.onRelease) this.o.onRelease(this.value);
    });
  }

  clamp(offset) {
    return Math.min(this.o.travel, Math.max(0, Math.round(offset)));
  }
}
