// The page script the live server serves at /live.js: one line in a template,
//   <script src="http://127.0.0.1:8719/live.js?work=File1"></script>
// (with "&key=..." when other computers may connect), keeps the page current without a reload. On
// a page the live server serves itself (/works/<id>) "?work=" may be left out: the script takes
// the work (and the key) from the page's own address, so one line fits every sample template.
// It follows the work's event stream, fetches each new version of the page, decodes it by the
// charset the server names, and puts its body and title in place of the shown ones. When the
// stream is up it stops the page's own meta refresh; when the stream stays down that long it
// reloads the page as the refresh would have; the browser reconnects the stream by itself and
// the script opens a new one if the browser gave up. When no live server answers the script
// does not load at all and the meta refresh works as it always did.
#pragma once
#include <string_view>

namespace kw::live {

std::string_view LiveScriptText();

} // namespace kw::live
