# SPDX-License-Identifier: MIT
# kestrune.select, kestrune.Selector, pages read in their own encoding, and the tree
# kestrune.parse gives.
import pickle
import threading

import pytest

import kestrune

PAGE = (b"<!DOCTYPE html><html><body><nav><a href=/a>One</a> <a>Two</a></nav>"
        b"<div id=main class=\"x y\" hidden><p>Hello &amp; <b>bold</b> tail</p>"
        b"<a href=/b title=t>Three</a><!-- note --></div></body></html>")


@pytest.mark.parametrize("selector, attrs, expected", [
    ("nav a[href]", "href", [{"text": "One", "href": "/a"}]),
    ("a", ["href", "title"], [{"text": "One", "href": "/a", "title": ""},
                              {"text": "Two", "href": "", "title": ""},
                              {"text": "Three", "href": "/b", "title": "t"}]),
    ("div > a", None, [{"text": "Three", "attr": 'href="/b" title="t" '}]),
    # Not streamed (a sibling combinator): matched on the tree, same shape.
    ("nav a + a", "href", [{"text": "Two", "href": ""}]),
    ("#main p", "text", [{"text": "Hello & bold tail"}]),
    ("table", "href", []),
])
def test_select_gives_what_extract_gives_for_a_tag(selector, attrs, expected):
    assert kestrune.select(PAGE, selector, attrs) == expected
    assert kestrune.select(PAGE, kestrune.Selector(selector), attrs) == expected


@pytest.mark.parametrize("text, offset", [
    ("div >", 5),
    ("a[href", 6),
    ("p::before", 1),
    ("", 0),
])
def test_a_bad_selector_raises_selector_error_with_its_offset(text, offset):
    for call in (lambda: kestrune.Selector(text), lambda: kestrune.select(PAGE, text),
                 lambda: kestrune.parse(PAGE).select(text)):
        with pytest.raises(kestrune.SelectorError, match=f"offset {offset}") as raised:
            call()
        assert isinstance(raised.value, ValueError)
        assert raised.value.offset == offset and raised.value.selector == text


def test_a_selector_is_reusable_and_picklable_by_its_text():
    selector = kestrune.Selector("nav  a[href]")
    copy = pickle.loads(pickle.dumps(selector))
    assert copy == selector and hash(copy) == hash(selector)
    assert (str(copy), repr(copy)) == ("nav  a[href]", "kestrune.Selector('nav  a[href]')")
    assert kestrune.select(PAGE, copy, "href") == kestrune.select(PAGE, selector, "href")


@pytest.mark.parametrize("call, error, message", [
    (lambda: kestrune.select(PAGE, 3), TypeError, "selector must be str or kestrune.Selector"),
    (lambda: kestrune.select(PAGE, "a", encoding="klingon"), ValueError, "'klingon'"),
    (lambda: kestrune.select(PAGE, "a", encoding=None), TypeError, "encoding must be"),
    (lambda: kestrune.extract(PAGE, "a", encoding="klingon"), ValueError, "'klingon'"),
    (lambda: kestrune.parse(b""), kestrune.NoRootError, ""),
    (lambda: kestrune.parse(b"<p>" * (kestrune.MAX_PAGE_BYTES // 3 + 1)),
     kestrune.PageTooLargeError, ""),
    (lambda: kestrune.parse(PAGE).root.iter(3), TypeError, "tag must be str or None"),
])
def test_wrong_arguments_raise(call, error, message):
    with pytest.raises(error, match=message):
        call()


LATIN1 = "<html><p title='é'>Café crème</p></html>".encode("latin-1")


@pytest.mark.parametrize("page, encoding, expected", [
    (LATIN1, "auto", "Café crème"),  # not UTF-8: windows-1252
    (b"<html><head><meta charset=iso-8859-1></head><p>Caf\xe9</p></html>", "auto", "Café"),
    ("<html><p>Café</p></html>".encode("utf-8"), "auto", "Café"),
    (b"\xef\xbb\xbf<html><p>Caf\xc3\xa9</p></html>", "auto", "Café"),
    ("<html><p>Café</p></html>".encode("utf-16"), "auto", "Café"),
    ("<html><p>日本</p></html>".encode("shift_jis"), "shift_jis", "日本"),
    ("<html><p>Café</p></html>".encode("utf-8"), "latin1", "CafÃ©"),  # the name wins
    # A str is text already: its UTF-8, whatever it declares.
    ("<html><head><meta charset=latin1></head><p>Café</p></html>", "auto", "Café"),
])
def test_pages_are_read_in_their_encoding(page, encoding, expected):
    assert kestrune.select(page, "p", "title", encoding=encoding)[0]["text"] == expected
    assert kestrune.parse(page, encoding=encoding).select_one("p").text == expected


def test_extract_reads_bytes_as_before_unless_given_an_encoding():
    assert kestrune.extract(LATIN1, "p", "title", as_bytes=True) == [
        {"text": b"Caf\xe9 cr\xe8me", "title": b"\xe9"}]
    assert kestrune.extract(LATIN1, "p", "title", encoding="auto") == [
        {"text": "Café crème", "title": "é"}]
    assert kestrune.extract(LATIN1, "p", "title", encoding="auto", codepage=1252,
                            as_bytes=True) == [{"text": b"Caf\xe9 cr\xe8me", "title": b"\xe9"}]


def tags(elements):
    return [element.tag for element in elements]


@pytest.mark.parametrize("query, expected", [
    (lambda d: tags(d.root.iter()), ["html", "body", "nav", "a", "a", "div", "p", "b", "a",
                                     "!--"]),
    (lambda d: tags(d.select_one("div").iter("A")), ["a"]),
    (lambda d: tags(d.iter("b")), ["b"]),
    (lambda d: tags(d.find_all("html")), ["html"]),  # the root is one of them
    (lambda d: tags(d.root.find_all("html")), []),  # an element's descendants only
    (lambda d: tags(d.select_one("nav").children), ["a", "a"]),
    (lambda d: tags(d.select_one("#main").select("a")), ["a"]),
    # The scope's ancestors count for its combinators, as in querySelectorAll.
    (lambda d: tags(d.select_one("p").select("div b")), ["b"]),
    (lambda d: d.select_one("p").select_one("i"), None),
    (lambda d: d.root.parent, None),
    (lambda d: d.select_one("b").parent.tag, "p"),
    (lambda d: d.doctype, "html"),
    (lambda d: kestrune.parse(b"<html><p>x</p></html>").doctype, None),
    (lambda d: d.select_one("div").attrs, {"hidden": "", "class": "x y", "id": "main"}),
    (lambda d: [d.select_one("div").get(name, "-") for name in ("ID", "hidden", "no")],
     ["main", "", "-"]),
    (lambda d: d.select_one("p").text, "Hello & "),
    (lambda d: d.select_one("b").tail, " tail"),
    (lambda d: d.select_one("#main").text_content(), "Hello & bold tailThree note"),
    (lambda d: d.select_one("nav").text_content(squeeze=False), "One Two"),
    (lambda d: d.select_one("b").html, "<b>bold</b>"),
    (lambda d: "\r" in d.root.html, False),
])
def test_the_tree(query, expected):
    assert query(kestrune.parse(PAGE)) == expected


def test_elements_are_equal_by_identity_and_keep_their_document_alive():
    document = kestrune.parse(PAGE)
    links = document.find_all("a")
    assert links[2] == document.select_one("div a") and links[0] != links[1]
    assert len({*links, *document.select("a")}) == 3
    b = document.select_one("b")
    del document, links
    assert (b.parent.parent.get("id"), b.text_content()) == ("main", "bold")


def test_a_million_nested_elements():
    document = kestrune.parse(b"<html>" + b"<div>" * 1_000_000 + b"</html>")
    assert sum(1 for _ in document.root.iter()) == 1_000_001
    deepest = document.select("div:empty")
    assert len(deepest) == 1 and deepest[0].parent.tag == "div"
    assert len(document.select("div div")) == 999_999


def test_threads_select_at_once():
    selector = kestrune.Selector("div a[href]")
    page = b"<html>" + b"<div><a href=x>y</a></div>" * 20000 + b"</html>"
    results = []
    threads = [threading.Thread(target=lambda: results.append(
        len(kestrune.select(page, selector, "href")))) for _ in range(4)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    assert results == [20000] * 4


@pytest.mark.parametrize("html_whitespace, expected", [(False, []), (True, ["/w"])])
def test_tags_read_as_browsers_read_them(html_whitespace, expected):
    document = kestrune.parse(b'<html><A\nHREF="/w">W</A></html>', html_whitespace=html_whitespace)
    assert [a.get("href") for a in document.select("a")] == expected
