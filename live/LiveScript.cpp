// The page script's text.
#include "live/LiveScript.h"

namespace kw::live {

std::string_view LiveScriptText() {
    static constexpr std::string_view Text = R"JS(// KWPAGE live page: keeps this page current without reloading it.
(function () {
  "use strict";
  var me = document.currentScript;
  if (!me || !window.EventSource || !window.fetch || !window.TextDecoder || !window.DOMParser) return;
  var src = new URL(me.src, location.href);
  // The work: named in the script's address, or, on a page the live server serves, its own.
  var served = location.origin === src.origin ? /^\/works\/([A-Za-z0-9._-]+)$/.exec(location.pathname) : null;
  var work = src.searchParams.get("work") || (served && served[1]);
  if (!work) return;
  var key = src.searchParams.get("key") || new URLSearchParams(location.search).get("key");
  var page = src.origin + "/works/" + encodeURIComponent(work);
  function address(url, extra) {
    var q = [];
    if (extra) q.push(extra);
    if (key) q.push("key=" + encodeURIComponent(key));
    return q.length ? url + "?" + q.join("&") : url;
  }
  var refresh = 0, meta = document.querySelector("meta[http-equiv='refresh' i]");
  if (meta) refresh = parseInt(meta.getAttribute("content"), 10) || 0;
  var shown = 0, wanted = 0, fetching = false, stopped = false, fallback = null, source = null, live = false;
  // While the stream is up the page is current: its own meta refresh would only make it flash.
  // Firefox drops a pending refresh on window.stop() (called before the stream opens: it would end
  // the stream too); Chromium keeps it, but lets the page cancel the navigation the refresh starts
  // (a navigation the user starts is not cancelable and goes through). Once the stream is down
  // for as long as the refresh, the script reloads the page itself.
  if (window.navigation) navigation.addEventListener("navigate", function (e) {
    if (live && e.cancelable && !e.userInitiated && e.destination.url.split("#")[0] === location.href.split("#")[0])
      e.preventDefault();
  });

  function show(html) {
    var doc = new DOMParser().parseFromString(html, "text/html");
    if (doc.title !== document.title) document.title = doc.title;
    document.documentElement.replaceChild(document.adoptNode(doc.body), document.body);
    document.dispatchEvent(new CustomEvent("kwpage:updated", {detail: {version: shown}}));
  }
  function load() {
    if (fetching || shown >= wanted) return;
    fetching = true;
    var version = wanted;
    fetch(address(page, "v=" + version), {cache: "no-store"}).then(function (r) {
      if (!r.ok) throw new Error("HTTP " + r.status);
      var m = /charset=([^;]+)/i.exec(r.headers.get("Content-Type") || "");
      return r.arrayBuffer().then(function (b) { return new TextDecoder(m ? m[1].trim() : "utf-8").decode(b); });
    }).then(function (html) {
      shown = version;
      show(html);
      fetching = false;
      load();
    }, function () {
      fetching = false;
      setTimeout(load, 1000);
    });
  }
  function connect() {
    if (!stopped && refresh) { stopped = true; window.stop(); }
    source = new EventSource(address(page + "/events"));
    source.onopen = function () {
      live = true;
      if (fallback) { clearTimeout(fallback); fallback = null; }
    };
    source.addEventListener("updated", function (e) {
      var v = parseInt(e.data, 10);
      if (!(v > 0) || v === shown) return;
      if (v < shown) { shown = 0; wanted = v; }  // the program started again: its versions too
      else wanted = Math.max(wanted, v);
      load();
    });
    source.onerror = function () {
      if (refresh && !fallback) fallback = setTimeout(function () { live = false; location.reload(); }, refresh * 1000);
      if (source.readyState === EventSource.CLOSED) { source.close(); setTimeout(connect, 3000); }
    };
  }
  if (document.readyState === "complete") connect();
  else window.addEventListener("load", connect);
})();
)JS";
    return Text;
}

} // namespace kw::live
