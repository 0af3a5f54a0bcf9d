// HTML document.
