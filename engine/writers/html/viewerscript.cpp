#include "engine/writers/html/htmlbook.h"

#include "engine/layout/strutil.h"

namespace {

// The viewer script after its second line. Only the page count varies.
const char* const kScriptBody = R"JS(var the_timeout = setTimeout(function () { reloadSidePanel(); }, 3000);
var currentPage = 0;
var currentbm = 0;
var currentZoom = 100;
var isload = 1;
var offsetX = 0;
var offsetY = 0;
var pageload = 0;

// The viewer's frames are separate documents. Opened from disk, every file
// is a world of its own to the browser, so the frames never touch each
// other's documents or scripts: they exchange messages (postMessage) instead.
// The toolbar and side panels say when they are ready and ask this window to
// run one of its commands; this window tells them what to show.

function init() {
    var entries = [];
    for (var i = firstpage; i <= lastpage; i++) {
        entries.push([String(i), (i == currentPage ? "page" : "page ") + i + " of " + lastpage]);
    }
    sendTo("toolbarWin", { op: "list", name: "pageList", entries: entries });
    sendTo("toolbarWin", { op: "select", name: "pageList", index: 0 });
    sendTo("toolbarWin", { op: "select", name: "zoomSelected", index: 5 });
    pageload++;
    if (currentPage == 0) {
        if (lastpage >= firstpage) {
            GotoThePage(firstpage);
        } else {
            setButtonImages(firstpage, firstpage, firstpage);
        }
    } else {
        GotoThePage(currentPage);
    }
}

function ShowOrHideNavOrBm() {
    var frameset = document.getElementById("mainframe");
    if (isload != 0) {
        if (frameset) frameset.setAttribute("cols", "0,*");
        setImage("NavOrBmBtn", "gif/close.gif");
        isload = 0;
    } else {
        if (frameset) frameset.setAttribute("cols", "134,*");
        setImage("NavOrBmBtn", "gif/open.gif");
        isload = 1;
        OpenIndexPage();
    }
}

function OpenIndexPage() {
    if (isload == 0) return;
    loadFrame("navorbm", "navigation.html");
    loadFrame("navorbmimg", "navimg.html");
    isload = 1;
}

function OpenBookMarksPage() {
    if (isload == 0) return;
    loadFrame("navorbm", "bookmark.html");
    loadFrame("navorbmimg", "bmimg.html");
    isload = 2;
}

function GotoThePage(pageno) {
    pageno = parseInt(pageno, 10);
    if (isNaN(pageno) || pageno < firstpage || pageno > lastpage) return;
    loadFrame("content", "P" + pageno + ".html");
    sendTo("toolbarWin", { op: "select", name: "pageList", index: pageno - firstpage });
    setButtonImages(pageno, firstpage, lastpage);
    if (isload == 1) {
        sendTo("navorbm", { op: "mark", id: "img" + pageno });
    }
    currentPage = pageno;
}

function GotoTheBookMark(pageno, bmno) {
    resetZoom();
    GotoThePage(pageno);
    if (isload == 2) {
        sendTo("navorbm", { op: "mark", id: "bm" + bmno });
    }
    currentbm = bmno;
}

function setNewZoom(newZoom) {
    newZoom = parseInt(newZoom, 10);
    if (isNaN(newZoom) || newZoom < 50 || newZoom > 200) return;
    if (newZoom != currentZoom) {
        // The page scales its tables, pictures, text and positions by
        // newZoom / currentZoom, always measured from its own sizes.
        sendTo("content", { op: "zoom", zoom: newZoom });
    }
    sendTo("toolbarWin", { op: "select", name: "zoomSelected", index: Math.round((newZoom - 50) / 10) });
    setImage("ZoomoutBtn", newZoom <= 50 ? "gif/zoomout1.gif" : "gif/zoomout.gif");
    setImage("ZoominBtn", newZoom >= 200 ? "gif/zoomin1.gif" : "gif/zoomin.gif");
    currentZoom = newZoom;
}

function zoomIn() {
    setNewZoom(currentZoom + 10);
}

function zoomOut() {
    setNewZoom(currentZoom - 10);
}

function zoomChange(selObj) {
    if (selObj) setNewZoom(selObj.value);
}

function pageChange(selObj) {
    if (!selObj) return;
    resetZoom();
    GotoThePage(selObj.value);
}

function GotoNewPage(pageno) {
    pageChange({ value: pageno });
}

function myprint() {
    var win = frameWindow("content");
    if (!win) return;
    win.focus();
    sendTo("content", { op: "print" });
}

function left() {
    alignPage(0);
}

function center() {
    alignPage(1);
}

function right() {
    alignPage(2);
}

// Helpers of the commands above.

var pageWidth = 0;
var pageTableWidth = 0;

function frameElementNamed(name) {
    var list = document.getElementsByName(name);
    return list.length > 0 ? list[0] : null;
}

function frameWindow(name) {
    var frame = frameElementNamed(name);
    return frame ? frame.contentWindow : null;
}

function loadFrame(name, url) {
    var frame = frameElementNamed(name);
    if (frame) frame.src = url;
}

function sendTo(name, message) {
    var win = frameWindow(name);
    if (!win) return;
    message.viewer = 1;
    win.postMessage(message, "*");
}

function setImage(id, src) {
    sendTo("toolbarWin", { op: "image", id: id, src: src });
}

function setButtonImages(pageno, first, last) {
    setImage("FirstPageBtn", pageno <= first ? "gif/first1.gif" : "gif/first.gif");
    setImage("PrePageBtn", pageno <= first ? "gif/prev1.gif" : "gif/prev.gif");
    setImage("NextPageBtn", pageno >= last ? "gif/next1.gif" : "gif/next.gif");
    setImage("LastPageBtn", pageno >= last ? "gif/last1.gif" : "gif/last.gif");
}

// A page loads at its own size: the zoom goes back to 100.
function resetZoom() {
    currentZoom = 100;
    sendTo("toolbarWin", { op: "select", name: "zoomSelected", index: 5 });
    setImage("ZoomoutBtn", "gif/zoomout.gif");
    setImage("ZoominBtn", "gif/zoomin.gif");
}

// 0 left, 1 centre, 2 right: the page moves across the free width of the
// content frame beyond the page's table.
function alignPage(where) {
    var free = Math.floor(pageWidth - pageTableWidth);
    var x = 0;
    if (where != 0) {
        if (free <= 0) return;
        x = where == 1 ? Math.floor(free / 2) : free;
    }
    if (x == offsetX) return;
    offsetX = x;
    offsetY = 0;
    setImage("LeftBtn", where == 0 ? "gif/left1.gif" : "gif/left.gif");
    setImage("CenterBtn", where == 1 ? "gif/center1.gif" : "gif/center.gif");
    setImage("RightBtn", where == 2 ? "gif/right1.gif" : "gif/right.gif");
    resetZoom();
    GotoThePage(currentPage);
}

function reloadSidePanel() {
    if (isload == 1) {
        loadFrame("navorbm", "navigation.html");
    } else if (isload == 2) {
        loadFrame("navorbm", "bookmark.html");
    }
}

function runCommand(name, args) {
    var a = args || [];
    switch (name) {
    case "first": GotoThePage(firstpage); break;
    case "previous": GotoThePage(currentPage - 1); break;
    case "next": GotoThePage(currentPage + 1); break;
    case "last": GotoThePage(lastpage); break;
    case "GotoThePage": GotoThePage(a[0]); break;
    case "GotoTheBookMark": GotoTheBookMark(a[0], a[1]); break;
    case "GotoNewPage": GotoNewPage(a[0]); break;
    case "pageChange": pageChange(a[0]); break;
    case "zoomChange": zoomChange(a[0]); break;
    case "zoomIn": zoomIn(); break;
    case "zoomOut": zoomOut(); break;
    case "myprint": myprint(); break;
    case "left": left(); break;
    case "center": center(); break;
    case "right": right(); break;
    case "ShowOrHideNavOrBm": ShowOrHideNavOrBm(); break;
    case "OpenIndexPage": OpenIndexPage(); break;
    case "OpenBookMarksPage": OpenBookMarksPage(); break;
    }
}

function frameOf(source) {
    var names = ["toolbarWin", "navorbm", "navorbmimg", "content"];
    for (var i = 0; i < names.length; i++) {
        if (source && source === frameWindow(names[i])) return names[i];
    }
    return "";
}

function onViewerMessage(event) {
    var message = event.data;
    var from = frameOf(event.source);
    if (from == "" || !message || message.viewer !== 1) return;
    if (message.op == "call") {
        runCommand(message.fn, message.args);
    } else if (message.op == "ready" && from == "toolbarWin") {
        init();
    } else if (message.op == "ready" && from == "navorbm") {
        var mark = message.frame == "bookmarks" ? (currentbm ? "bm" + currentbm : "") : (currentPage ? "img" + currentPage : "");
        sendTo("navorbm", { op: "entries", first: firstpage, last: lastpage, mark: mark });
    } else if ((message.op == "ready" || message.op == "metrics") && from == "content") {
        pageWidth = Number(message.bodyWidth) || 0;
        pageTableWidth = Number(message.tableWidth) || 0;
        if (message.op == "ready") {
            sendTo("content", { op: "setup", zoom: currentZoom, offsetX: offsetX, offsetY: offsetY });
        }
    }
}

window.addEventListener("message", onViewerMessage, false);
)JS";

} // namespace

std::string HtmlBook::ViewerScript(int pageCount)
{
    std::string text = "var firstpage = 1;\n";
    text += "var lastpage = " + int2str(pageCount) + ";\n";
    text += kScriptBody;
    return text;
}
