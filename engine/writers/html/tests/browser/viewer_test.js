#!/usr/bin/env node
// Opens the HTML output's viewer from disk (file://) in headless Chromium and
// uses it as a reader would: page list, first/previous/next/last, zoom, the
// page and bookmark panels, alignment. Any script error in any frame fails
// the test. The viewers are written by html_viewer_fixture from hand-built
// books and from whole conversions of PDFs made with reportlab.
//
//   node viewer_test.js --fixture PATH --resources DIR --work DIR [--corpus DIR]
//
// playwright-core is found through NODE_PATH (installed by npm_ci.cmake).
"use strict";

const { chromium } = require("playwright-core");
const { execFileSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { pathToFileURL } = require("node:url");

const args = {};
for (let i = 2; i + 1 < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, "")] = process.argv[i + 1];
for (const key of ["fixture", "resources", "work"]) {
    if (!args[key]) {
        console.error("usage: viewer_test.js --fixture PATH --resources DIR --work DIR");
        process.exit(2);
    }
}

let failures = 0;
function check(ok, what) {
    if (ok) {
        console.log("  ok   " + what);
    } else {
        failures++;
        console.log("  FAIL " + what);
    }
}

async function waitFor(test, what, timeout = 10000) {
    const end = Date.now() + timeout;
    let last;
    for (;;) {
        try {
            last = await test();
            if (last) return last;
        } catch (e) {
            last = e;
        }
        if (Date.now() > end) throw new Error("timed out waiting for " + what + " (last: " + last + ")");
        await new Promise((r) => setTimeout(r, 40));
    }
}

function near(a, b, tolerance = 0.6) {
    return Math.abs(a - b) <= tolerance;
}

// --- the viewers ------------------------------------------------------------

// A real manual with pictures from the corpus beside the source tree, when
// it is there (it must be under CI=true).
let manual = args.corpus && path.join(args.corpus, "003-pdflatex-image_pdflatex-image.pdf");
if (manual && !fs.existsSync(manual)) {
    check(process.env.CI !== "true", "the corpus of real-world PDFs is there");
    manual = null;
}

function makeViewers(work) {
    fs.rmSync(work, { recursive: true, force: true });
    fs.mkdirSync(work, { recursive: true });
    const pdfs = path.join(work, "pdf");
    const fixtures = path.join(__dirname, "..", "htmlfixtures.py");
    execFileSync("/usr/bin/python3", [fixtures, pdfs], { stdio: "inherit" });
    const out = execFileSync(args.fixture, [
        "--resources", args.resources, "--out", path.join(work, "viewers"),
        "--text", path.join(pdfs, "text.pdf"),
        "--pictures", path.join(pdfs, "picture.pdf"),
        "--pictures", path.join(pdfs, "drawing.pdf"),
        ...(manual ? ["--pictures", manual] : []),
    ], { encoding: "utf8", stdio: ["ignore", "pipe", "inherit"] });
    return JSON.parse(out);
}

// --- driving one viewer -----------------------------------------------------

class Viewer {
    constructor(page) {
        this.page = page;
        this.errors = [];
        page.on("pageerror", (e) => this.errors.push("script error: " + e.message));
        page.on("console", (m) => {
            if (m.type() === "error") this.errors.push("console error: " + m.text());
        });
        page.on("requestfailed", (r) => this.errors.push("failed to load: " + r.url()));
    }

    static async open(context, index) {
        const viewer = new Viewer(await context.newPage());
        await viewer.page.goto(pathToFileURL(index).href);
        await waitFor(() => viewer.frame("toolbarWin").evaluate(() => document.readyState === "complete"),
                      "the toolbar");
        return viewer;
    }

    frame(name) {
        const f = this.page.frame({ name });
        if (!f) throw new Error("no frame " + name);
        return f;
    }

    async contentPage() {
        const url = this.frame("content").url();
        const m = /\/P(\d+)\.html$/.exec(url);
        return m ? Number(m[1]) : 0;
    }

    // Waits until page n is shown, loaded, and has taken the viewer's
    // settings (the viewer answers a loaded page with them).
    async showing(n) {
        await waitFor(async () => (await this.contentPage()) === n &&
                      (await this.frame("content").evaluate(() => document.readyState === "complete")),
                      "page " + n);
        await new Promise((r) => setTimeout(r, 100));
        return true;
    }

    async click(frame, selector) {
        await this.frame(frame).click(selector);
    }

    async selected(name) {
        return this.frame("toolbarWin").evaluate((n) => {
            const s = document.getElementsByName(n)[0];
            return { index: s.selectedIndex, value: s.value, count: s.options.length,
                     values: Array.from(s.options, (o) => o.value) };
        }, name);
    }

    async image(id) {
        return this.frame("toolbarWin").evaluate((i) => document.getElementById(i).src.replace(/^.*\//, ""), id);
    }

    // The rendered box and style of the span whose text is `text`, in CSS
    // pixels of the page.
    async span(text) {
        return this.frame("content").evaluate((t) => {
            for (const s of document.getElementsByTagName("span")) {
                if (s.textContent !== t) continue;
                const box = s.parentNode.getBoundingClientRect();
                const cs = getComputedStyle(s);
                return { top: box.top + scrollY, left: box.left + scrollX, fontSize: parseFloat(cs.fontSize),
                         fontWeight: cs.fontWeight, color: cs.color };
            }
            return null;
        }, text);
    }
}

// --- the scenarios ------------------------------------------------------------

async function builtBook(context, viewers) {
    console.log("hand-built book of 12 pages: " + viewers.built);
    const v = await Viewer.open(context, viewers.built);
    await v.showing(1);

    const list = await v.selected("pageList");
    check(list.count === 12 && list.values.join() === "1,2,3,4,5,6,7,8,9,10,11,12",
          "the page list has one entry per page (" + list.values.join() + ")");
    check(list.index === 0, "the first page is selected");
    check((await v.image("FirstPageBtn")) === "first1.gif" && (await v.image("NextPageBtn")) === "next.gif",
          "on the first page first/previous are dimmed");

    // Navigation.
    const steps = [["NextPageBtn", 2], ["LastPageBtn", 12], ["PrePageBtn", 11], ["FirstPageBtn", 1],
                   ["NextPageBtn", 2], ["NextPageBtn", 3]];
    for (const [button, page] of steps) {
        await v.click("toolbarWin", "#" + button);
        await v.showing(page);
        const sel = await v.selected("pageList");
        check(sel.value === String(page), button + " shows P" + page + ".html and selects it in the list");
    }
    await v.click("toolbarWin", "#LastPageBtn");
    await v.showing(12);
    check((await v.image("LastPageBtn")) === "last1.gif" && (await v.image("PrePageBtn")) === "prev.gif",
          "on the last page next/last are dimmed");
    await v.frame("toolbarWin").selectOption("#pageList", "1");
    await v.showing(1);
    check(true, "choosing page 1 in the list shows it");

    // Positions, sizes and colours of the hand-built pages.
    const byPage = {};
    for (const e of viewers.expected) (byPage[e.page] = byPage[e.page] || []).push(e);
    for (const page of [1, 7, 12]) {
        if (page !== 1) {
            await v.frame("toolbarWin").selectOption("#pageList", String(page));
            await v.showing(page);
        }
        for (const e of byPage[page]) {
            const s = await v.span(e.text);
            check(s && near(s.top, e.top) && near(s.left, e.left) && near(s.fontSize, e.fontSize),
                  `P${page} "${e.text}" at top ${e.top}, left ${e.left}, size ${e.fontSize}` +
                  (s ? ` (got ${s.top}, ${s.left}, ${s.fontSize})` : " (not found)"));
        }
    }
    await v.frame("toolbarWin").selectOption("#pageList", "1");
    await v.showing(1);
    const heading = await v.span("Heading");
    check(heading && heading.fontWeight === "700" && heading.color === "rgb(0, 0, 0)",
          "the worked example is bold and black");
    const orange = await v.span("Orange");
    check(orange && orange.color === "rgb(255, 127, 0)", "colour ff7f00 is shown as such");
    const charset = await v.frame("content").evaluate(() => document.characterSet);
    check(charset === "UTF-8", "the page is read as UTF-8 (" + charset + ")");
    const foreign = viewers.expected.find((e) => e.page === 1 && /[^\x00-\x7f]/.test(e.text));
    check(foreign && (await v.span(foreign.text)) !== null, "non-ASCII text shows as written: " + foreign.text);

    // The picture-only page.
    const pic = viewers.picture;
    await v.frame("toolbarWin").selectOption("#pageList", String(pic.page));
    await v.showing(pic.page);
    const img = await v.frame("content").evaluate(async () => {
        const i = document.images[0];
        if (!i.complete) await new Promise((r) => { i.onload = r; i.onerror = r; });
        const box = i.getBoundingClientRect();
        return { count: document.images.length, src: i.getAttribute("src"), top: box.top, left: box.left,
                 width: box.width, height: box.height, natural: i.naturalWidth };
    });
    check(img.count === 1 && img.src === pic.src && img.natural > 0 && near(img.top, pic.top) &&
          near(img.left, pic.left) && near(img.width, pic.width) && near(img.height, pic.height),
          `the picture-only page shows its picture at ${pic.top},${pic.left} size ${pic.width}x${pic.height} ` +
          `(got ${img.top},${img.left} ${img.width}x${img.height}, loaded ${img.natural > 0})`);

    // Zoom on page 1: 150 scales text, positions and the page.
    await v.frame("toolbarWin").selectOption("#pageList", "1");
    await v.showing(1);
    await v.frame("toolbarWin").selectOption("#zoomSelected", "150");
    const zoomed = await waitFor(async () => {
        const s = await v.span("Heading");
        return s && s.fontSize === 27 ? s : null;
    }, "zoom 150");
    check(near(zoomed.top, 180) && near(zoomed.left, 162), `zoom 150 moves the text to 180,162 (got ${zoomed.top},${zoomed.left})`);
    const tableWidth = await v.frame("content").evaluate(() => document.getElementsByTagName("table")[0].getAttribute("width"));
    check(tableWidth === "1377", "zoom 150 widens the page to 1377 (" + tableWidth + ")");
    await v.click("toolbarWin", "#ZoominBtn");
    await waitFor(async () => (await v.span("Heading")).fontSize === 29, "zoom 160");
    check((await v.selected("zoomSelected")).value === "160", "zoom in steps to 160");
    for (let i = 0; i < 4; i++) await v.click("toolbarWin", "#ZoominBtn");
    await waitFor(async () => (await v.selected("zoomSelected")).value === "200", "zoom 200");
    check((await v.image("ZoominBtn")) === "zoomin1.gif" && (await v.span("Heading")).fontSize === 36,
          "zoom 200 is the largest: the button is dimmed and the text doubled");
    await v.frame("toolbarWin").selectOption("#zoomSelected", "100");
    await waitFor(async () => (await v.span("Heading")).fontSize === 18, "zoom 100");
    const back = await v.span("Heading");
    check(near(back.top, 120) && near(back.left, 108), "zoom 100 gives the page back its own layout");
    await v.frame("toolbarWin").selectOption("#zoomSelected", "50");
    await waitFor(async () => (await v.span("Heading")).fontSize === 9, "zoom 50");
    check((await v.image("ZoomoutBtn")) === "zoomout1.gif", "zoom 50 is the smallest");
    await v.click("toolbarWin", "#NextPageBtn");
    await v.showing(2);
    const keep = await waitFor(() => v.frame("content").evaluate(() => {
        const size = getComputedStyle(document.getElementsByTagName("span")[0]).fontSize;
        return size === "11px" ? size : null;
    }), "page 2 at zoom 50");
    check(keep === "11px", "the next page opens at the zoom chosen");
    await v.frame("toolbarWin").selectOption("#pageList", "1");
    await v.showing(1);
    await waitFor(async () => (await v.selected("zoomSelected")).value === "100", "the zoom list back at 100");
    check((await v.span("Heading")).fontSize === 18, "choosing a page in the list opens it at zoom 100");

    // The viewer reloads its side panel once, three seconds after it
    // started; the panel is used after that.
    await waitFor(() => v.page.evaluate(() => performance.now() > 3300), "the side panel's reload", 15000);
    await new Promise((r) => setTimeout(r, 200));

    // The thumbnail pane: one picture per page, the current one marked.
    const thumbs = await waitFor(() => v.frame("navorbm").evaluate(() => {
        const imgs = Array.from(document.images);
        return imgs.length === 12 ? imgs.map((i) => i.id + ":" + i.src.replace(/^.*\//, "")) : null;
    }), "the page pane");
    check(thumbs.map((t) => t.split(":")[0]).join() === "img1,img2,img3,img4,img5,img6,img7,img8,img9,img10,img11,img12",
          "the page pane shows every page");
    check(thumbs[0].endsWith("page1.gif") && thumbs.slice(1).every((t) => t.endsWith(":page.gif")),
          "the page pane marks the current page");
    await v.click("navorbm", "#img5");
    await v.showing(5);
    const marked = await waitFor(() => v.frame("navorbm").evaluate(() =>
        document.getElementById("img5").src.endsWith("page1.gif") &&
        document.getElementById("img1").src.endsWith("/page.gif")), "the mark on page 5");
    check(marked && (await v.selected("pageList")).value === "5", "a picture in the page pane opens its page");

    // The bookmark pane.
    await v.click("navorbmimg", "#BookmarksTab");
    const bms = await waitFor(() => v.frame("navorbm").evaluate(() =>
        /bookmark\.html$/.test(location.pathname) && document.images.length === 12 ? document.images.length : 0),
        "the bookmark pane");
    check(bms === 12, "the bookmark tab lists the bookmarks");
    await v.click("navorbm", "#bm3");
    await v.showing(3);
    check(await waitFor(() => v.frame("navorbm").evaluate(() => document.getElementById("bm3").src.endsWith("bm1.gif")),
                        "the bookmark mark"), "a bookmark opens its page and is marked");
    await v.click("navorbmimg", "#PagesTab");
    await waitFor(() => v.frame("navorbm").evaluate(() => /navigation\.html$/.test(location.pathname) &&
                                                     document.images.length === 12), "the page pane again");
    check(true, "the pages tab brings the page pane back");

    // Hiding and showing the side panel.
    const cols = () => v.page.evaluate(() => document.getElementById("mainframe").getAttribute("cols"));
    await v.click("toolbarWin", "#NavOrBmBtn");
    await waitFor(async () => (await cols()) === "0,*", "the panel hidden");
    check((await v.image("NavOrBmBtn")) === "close.gif", "the panel button hides the side panel");
    await v.click("toolbarWin", "#NavOrBmBtn");
    await waitFor(async () => (await cols()) === "134,*", "the panel shown");
    check((await v.image("NavOrBmBtn")) === "open.gif", "and shows it again");

    // Alignment: centre and right move the page across the free width.
    await v.click("toolbarWin", "#FirstPageBtn");
    await v.showing(1);
    const free = await v.frame("content").evaluate(() =>
        Math.floor(document.body.clientWidth - Number(document.getElementsByTagName("table")[0].getAttribute("width"))));
    check(free > 0, "the content frame is wider than the page (" + free + " pixels to spare)");
    await v.click("toolbarWin", "#CenterBtn");
    const centred = await waitFor(async () => {
        const s = await v.span("Heading");
        return s && near(s.left, 108 + Math.floor(free / 2), 1.5) ? s : null;
    }, "the centred page");
    check(centred && (await v.image("CenterBtn")) === "center1.gif", "centre moves the page by half the free width");
    await v.click("toolbarWin", "#RightBtn");
    await waitFor(async () => near((await v.span("Heading")).left, 108 + free, 1.5), "the page on the right");
    check(true, "right moves the page by the free width");
    await v.click("toolbarWin", "#LeftBtn");
    await waitFor(async () => near((await v.span("Heading")).left, 108), "the page on the left");
    check((await v.image("LeftBtn")) === "left1.gif", "left puts it back");

    check(v.errors.length === 0, "no script error, failed load or console error" +
          (v.errors.length ? ":\n    " + v.errors.join("\n    ") : ""));
    await v.page.close();
}

async function emptyBook(context, viewers) {
    console.log("book without pages: " + viewers.empty);
    const v = await Viewer.open(context, viewers.empty);
    await waitFor(() => v.page.evaluate(() => typeof lastpage !== "undefined" && pageload > 0), "the viewer's start");
    await new Promise((r) => setTimeout(r, 300));
    check((await v.selected("pageList")).count === 0, "the page list is empty");
    check(v.frame("content").url() === "about:blank", "no page is loaded");
    await v.click("toolbarWin", "#NextPageBtn");
    await v.click("toolbarWin", "#ZoominBtn");
    await v.frame("navorbm").waitForLoadState("load");
    const entries = await v.frame("navorbm").evaluate(() => document.images.length);
    check(entries === 0, "the page pane is empty");
    await new Promise((r) => setTimeout(r, 200));
    check(v.errors.length === 0, "no script error" + (v.errors.length ? ":\n    " + v.errors.join("\n    ") : ""));
    await v.page.close();
}

async function conversions(context, viewers) {
    const [text] = viewers.text;
    console.log("converted text: " + text);
    check(!!text, "the text PDF was converted");
    if (text) {
        const v = await Viewer.open(context, text);
        await v.showing(1);
        check((await v.selected("pageList")).count === 3, "three pages in the list");
        const words = await v.frame("content").evaluate(() => Array.from(document.getElementsByTagName("span"), (s) => s.textContent));
        for (const w of ["Quarterly", "Gr\u00fc\u00dfe", "\u0395\u03bb\u03bb\u03ac\u03b4\u03b1", "\u041a\u0438\u0440\u0438\u043b\u043b\u0438\u0446\u0430"]) {
            check(words.includes(w), "page 1 shows \"" + w + "\"");
        }
        await v.click("toolbarWin", "#LastPageBtn");
        await v.showing(3);
        check((await v.span("Section")) !== null, "the last page is page 3");
        check(v.errors.length === 0, "no script error" + (v.errors.length ? ":\n    " + v.errors.join("\n    ") : ""));
        await v.page.close();
    }

    // Conversions with pictures: each page shows its text and its pictures,
    // every one of them drawn inside the page's box.
    for (const [i, pictures] of viewers.pictures.entries()) {
        console.log("converted with pictures: " + pictures);
        check(!!pictures, "PDF " + (i + 1) + " with pictures was converted");
        if (!pictures) continue;
        const v = await Viewer.open(context, pictures);
        const pages = (await v.selected("pageList")).count;
        let texts = 0, images = 0;
        for (let page = 1; page <= pages; ++page) {
            if (page > 1) {
                await v.frame("toolbarWin").selectOption("#pageList", String(page));
            }
            await v.showing(page);
            const dom = await v.frame("content").evaluate(async () => {
                await Promise.all(Array.from(document.images, (i) => i.complete ? null :
                    new Promise((r) => { i.onload = r; i.onerror = r; })));
                const page = document.getElementsByTagName("table")[0].getBoundingClientRect();
                const inside = (b) => b.left >= page.left - 1 && b.top >= page.top - 1 &&
                    b.right <= page.right + 1 && b.bottom <= page.bottom + 1;
                const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
                const texts = [];
                for (let n = walker.nextNode(); n; n = walker.nextNode()) {
                    if (!n.textContent.trim()) continue;
                    const r = document.createRange();
                    r.selectNodeContents(n);
                    texts.push({ text: n.textContent, inside: inside(r.getBoundingClientRect()) });
                }
                const images = Array.from(document.images, (i) => ({
                    src: i.src.replace(/^.*\//, ""), loaded: i.naturalWidth > 0,
                    inside: inside(i.getBoundingClientRect()) }));
                return { texts, images };
            });
            texts += dom.texts.length;
            images += dom.images.length;
            const outside = dom.texts.filter((t) => !t.inside).map((t) => t.text)
                .concat(dom.images.filter((m) => !m.inside || !m.loaded).map((m) => m.src));
            check(outside.length === 0, `P${page}: ${dom.texts.length} text nodes and ${dom.images.length} ` +
                  "pictures, all loaded and inside the page" + (outside.length ? " (not: " + outside.join(", ") + ")" : ""));
        }
        check(texts > 0 && images > 0, `the book shows text (${texts} nodes) and pictures (${images})`);
        check(v.errors.length === 0, "no script error" + (v.errors.length ? ":\n    " + v.errors.join("\n    ") : ""));
        await v.page.close();
    }
}

async function main() {
    const viewers = makeViewers(args.work);
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "viewer-test-profile-"));
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: "/usr/bin/chromium",
        headless: true,
        viewport: { width: 1280, height: 900 },
        args: ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
               "--disable-background-networking", "--disable-component-update", "--disable-sync"],
    });
    try {
        await builtBook(context, viewers);
        await emptyBook(context, viewers);
        await conversions(context, viewers);
    } catch (e) {
        failures++;
        console.log("  FAIL " + (e && e.stack ? e.stack : e));
    } finally {
        await context.close();
        fs.rmSync(profile, { recursive: true, force: true });
    }
    console.log(failures ? failures + " check(s) failed" : "all checks passed");
    process.exit(failures ? 1 : 0);
}

main();
