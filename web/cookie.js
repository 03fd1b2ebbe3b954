// Cookie helpers. Values are escaped on the way in and unescaped on the way
// out; a cookie without an expiry date ends with the browser session.
'use strict';

function setCookie(name, value, expires, path, domain, secure) {
  let text = name + '=' + encodeURIComponent(String(value));
  if (expires instanceof Date) text += '; expires=' + expires.toUTCString();
  if (path) text += '; path=' + path;
  if (domain) text += '; domain=' + domain;
  if (secure) text += '; secure';
  document.cookie = text;
}

function getCookie(name) {
  const prefix = name + '=';
  for (const part of document.cookie.split(';')) {
    const item = part.trim();
    if (item.startsWith(prefix)) {
      const raw = item.substring(prefix.length);
      try {
        return decodeURIComponent(raw);
      } catch (e) {
        return unescape(raw);
      }
    }
  }
  return undefined;
}

function deleteCookie(name, path, domain) {
  if (getCookie(name) === undefined) return;
  let text = name + '=; expires=Thu, 01 Jan 1970 00:00:00 GMT';
  if (path) text += '; path=' + path;
  if (domain) text += '; domain=' + domain;
  document.cookie = text;
}
