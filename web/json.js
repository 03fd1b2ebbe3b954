// Listing loader: the listing arrives as a script that calls the page's
// callback, which also works for the library of another server.
'use strict';

function loadListing(host, name, args, onError) {
  let url = 'http://' + host + '/' + name + '?';
  for (const arg of args) url += arg + '&';
  url += Date.now();
  const script = document.createElement('script');
  script.src = url;
  script.async = true;
  const done = () => script.remove();
  script.addEventListener('load', done);
  script.addEventListener('error', () => {
    done();
    if (onError) onError();
  });
  document.head.appendChild(script);
  return script;
}
