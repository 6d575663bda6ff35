// The script of every page of the HTML output. Inside the viewer it talks to
// the viewer's window by messages only (pages opened from disk cannot reach
// each other's documents): it reports its width when it has loaded, and
// applies the zoom and the alignment the viewer asks for. Opened on its own,
// it does nothing.
(function () {
    "use strict";
    if (window.parent === window) return;

    var zoom = 100;
    var originals = null;

    function post(message) {
        message.viewer = 1;
        window.parent.postMessage(message, "*");
    }

    function lastTable() {
        var tables = document.getElementsByTagName("table");
        return tables.length > 0 ? tables[tables.length - 1] : null;
    }

    function metrics(op) {
        var table = lastTable();
        var tableWidth = table ? parseFloat(table.getAttribute("width")) || 0 : 0;
        if (table && originals && originals.tables.length > 0) {
            tableWidth = parseFloat(originals.tables[originals.tables.length - 1].width) || 0;
        }
        return {
            op: op,
            page: document.title,
            bodyWidth: document.body ? document.body.clientWidth : 0,
            tableWidth: tableWidth
        };
    }

    // The sizes of the page as it was written, so that every zoom is taken
    // from them and repeated zooming does not drift.
    function remember() {
        if (originals) return;
        originals = { tables: [], images: [], spans: [], divs: [] };
        var i, list;
        list = document.getElementsByTagName("table");
        for (i = 0; i < list.length; i++) {
            originals.tables.push({ element: list[i], width: list[i].getAttribute("width"),
                                    height: list[i].getAttribute("height") });
        }
        list = document.getElementsByTagName("img");
        for (i = 0; i < list.length; i++) {
            originals.images.push({ element: list[i], width: list[i].getAttribute("width"),
                                    height: list[i].getAttribute("height") });
        }
        list = document.getElementsByTagName("span");
        for (i = 0; i < list.length; i++) {
            originals.spans.push({ element: list[i], size: list[i].style.fontSize });
        }
        list = document.getElementsByTagName("div");
        for (i = 0; i < list.length; i++) {
            var s = list[i].style;
            originals.divs.push({ element: list[i], top: s.top, left: s.left,
                                  width: s.width, height: s.height });
        }
    }

    function scaled(value, factor, whole) {
        var number = parseFloat(value);
        if (isNaN(number)) return null;
        number = number * factor;
        return whole ? Math.round(number) : Math.round(number * 100) / 100;
    }

    function setAttribute(element, name, original, factor) {
        if (original === null) return;
        var v = factor == 1 ? null : scaled(original, factor, false);
        element.setAttribute(name, v === null ? original : String(v));
    }

    function setStyle(style, name, original, factor, whole) {
        if (!original) return;
        var v = factor == 1 ? null : scaled(original, factor, whole);
        style[name] = v === null ? original : v + "px";
    }

    // Tables and pictures by their width and height, text by its font size in
    // whole pixels, positioned boxes by their position and size. Zoom 100
    // gives the page back its own values.
    function applyZoom(newZoom) {
        newZoom = Number(newZoom);
        if (!(newZoom >= 50 && newZoom <= 200) || newZoom == zoom) return;
        remember();
        var factor = newZoom / 100;
        var i, o, s;
        for (i = 0; i < originals.tables.length; i++) {
            o = originals.tables[i];
            setAttribute(o.element, "width", o.width, factor);
            setAttribute(o.element, "height", o.height, factor);
        }
        for (i = 0; i < originals.images.length; i++) {
            o = originals.images[i];
            setAttribute(o.element, "width", o.width, factor);
            setAttribute(o.element, "height", o.height, factor);
        }
        for (i = 0; i < originals.spans.length; i++) {
            o = originals.spans[i];
            setStyle(o.element.style, "fontSize", o.size, factor, true);
        }
        for (i = 0; i < originals.divs.length; i++) {
            o = originals.divs[i];
            s = o.element.style;
            setStyle(s, "top", o.top, factor, false);
            setStyle(s, "left", o.left, factor, false);
            setStyle(s, "width", o.width, factor, false);
            setStyle(s, "height", o.height, factor, false);
        }
        zoom = newZoom;
    }

    // The whole page moves by the viewer's offsets.
    function applyOffset(x, y) {
        var root = document.documentElement.style;
        x = Number(x) || 0;
        y = Number(y) || 0;
        root.position = x || y ? "relative" : "";
        root.left = x ? x + "px" : "";
        root.top = y ? y + "px" : "";
    }

    window.addEventListener("message", function (event) {
        var message = event.data;
        if (event.source !== window.parent || !message || message.viewer !== 1) return;
        if (message.op == "setup") {
            applyOffset(message.offsetX, message.offsetY);
            applyZoom(message.zoom);
        } else if (message.op == "zoom") {
            applyZoom(message.zoom);
        } else if (message.op == "print") {
            window.focus();
            window.print();
        }
    }, false);

    window.addEventListener("load", function () {
        post(metrics("ready"));
    }, false);

    window.addEventListener("resize", function () {
        post(metrics("metrics"));
    }, false);
})();
