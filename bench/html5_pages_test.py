#!/usr/bin/env python3
"""The measures of bench/html5-pages on small made-up pages, PDF texts and
logs: glued words, overfull lines by construct, code lines kept, and the
page reading they rest on. With pdflatex and pdftotext at hand, also that
pdftotext -raw keeps a line-end hyphen the glue search relies on."""

import importlib.machinery
import os
import shutil
import subprocess
import tempfile
import types
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))


def load_script():
    loader = importlib.machinery.SourceFileLoader(
        "html5_pages", os.path.join(HERE, "html5-pages"))
    # The script has no .py name to import it by: it is run as a module
    # made for it.
    module = types.ModuleType(loader.name)
    module.__file__ = loader.path
    loader.exec_module(module)
    return module


pages = load_script()


def page_from(html):
    parser = pages.VisibleText()
    parser.feed(html)
    parser.close()
    return parser


def glue_of(html, pdf_text):
    page = page_from(html)
    return pages.glued_words(pages.GluePairs(page.text(), page.runs), pdf_text)[0]


class GluedWords(unittest.TestCase):
    def test_cases(self):
        cases = [
            # (what, page, PDF text, glued spaces)
            ("kept spaces", "<p>one two three</p>", "one two three", 0),
            ("two words run together", "<p>one two three</p>", "onetwo three", 1),
            ("three words run together", "<p>one two three</p>", "onetwothree", 2),
            ("punctuation kept with its word", "<p>one, two</p>", "one,two", 1),
            ("curly quotes for straight ones", "<p>say 'hi' now</p>",
             "say \u2018hi\u2019now", 1),
            ("words in two text nodes", "<p>one <b>two</b></p>", "onetwo", 0),
            ("words joined by markup on the page", "<p>one<b>two</b></p>", "onetwo", 0),
            ("the page has the joined word too", "<p>Java Script or JavaScript</p>",
             "Java Script or JavaScript", 0),
            ("more joined words than the page has",
             "<p>Java Script or JavaScript</p>", "JavaScript or JavaScript", 1),
            ("an underscore is not a lost space",
             "<p>default field values</p><p>default_field_values</p>",
             "default field values default_field_values", 0),
            ("LaTeX's hyphenation at a line end", "<p>documentation of it</p>",
             "documen-\ntation of it", 0),
            ("the page's hyphen at a line end, and the two words elsewhere",
             "<p>a front-end</p><p>front end</p>", "a front-\nend front end", 0),
            ("a glued word that LaTeX hyphenated elsewhere",
             "<p>wordone wordtwo</p>", "wordonewo-\nrdtwo", 1),
            ("hidden text is not the page's", "<p>one</p><p hidden>one two</p>",
             "onetwo", 0),
        ]
        for what, html, pdf, glued in cases:
            with self.subTest(what):
                self.assertEqual(glue_of(html, pdf), glued)

    def test_examples_name_the_words(self):
        page = page_from("<p>one two</p>")
        glue = pages.GluePairs(page.text(), page.runs)
        self.assertEqual(pages.glued_words(glue, "onetwo"), (1, ["one two (1x)"]))

    def test_a_long_token_is_not_taken_apart(self):
        words = ["w%d" % i for i in range(pages.MAX_GLUED_CHARS)]
        html = "<p>%s</p>" % " ".join(words)
        self.assertEqual(glue_of(html, "".join(words[:3])), 2)
        self.assertEqual(glue_of(html, "".join(words)), 0)


TEX = r"""\documentclass{article}
\begin{document}
Some text
\begin{longtable}{l}
cell\\
\end{longtable}
\begin{twpre}code
line\end{twpre}
\begin{Shaded}
\begin{Highlighting}[]
x
\end{Highlighting}
\end{Shaded}
Other text
\end{document}
"""


class OverfullLines(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.tex = os.path.join(self.folder, "x.tex")
        with open(self.tex, "w") as f:
            f.write(TEX)

    def tearDown(self):
        shutil.rmtree(self.folder)

    def overfull(self, log_lines):
        log = os.path.join(self.folder, "x.log")
        with open(log, "w") as f:
            f.write("\n".join(log_lines) + "\n")
        return pages.overfull_lines(self.tex, log)

    def test_construct_of_each_box(self):
        cases = [
            # (log line, what is found)
            (r"Overfull \hbox (12.5pt too wide) in paragraph at lines 3--3",
             [(12.5, "other", 3)]),
            (r"Overfull \hbox (20pt too wide) in paragraph at lines 5--5",
             [(20.0, "table", 5)]),
            (r"Overfull \hbox (20pt too wide) in alignment at lines 14--14",
             [(20.0, "table", 14)]),
            (r"Overfull \hbox (30.0pt too wide) in paragraph at lines 7--8",
             [(30.0, "code", 7)]),
            (r"Overfull \hbox (30.0pt too wide) in paragraph at lines 11--11",
             [(30.0, "code", 11)]),
            (r"Overfull \hbox (30.0pt too wide) in paragraph at lines 14--15",
             [(30.0, "other", 14)]),
            (r"Overfull \hbox (30.0pt too wide) in paragraph at lines 2--4",
             [(30.0, "table", 2)]),
            (r"Overfull \hbox (15.0pt too wide) detected at line 12",
             [(15.0, "code", 12)]),
            (r"Overfull \hbox (9.9pt too wide) in paragraph at lines 3--3", []),
            (r"Overfull \vbox (50.0pt too high) has occurred while \output is active",
             []),
        ]
        for line, found in cases:
            with self.subTest(line):
                self.assertEqual(self.overfull(["(./x.tex", line, ")"]), found)


class CodeLines(unittest.TestCase):
    def test_lines_of_the_pre_blocks(self):
        page = page_from("<p>not code</p><pre>\nint x;\n\n  y = 1;<br>z</pre>"
                         "<pre hidden>hidden</pre><pre>%s</pre>" % ("a" * 61))
        self.assertEqual(pages.code_lines(page.pre_blocks),
                         {"intx;": 1, "y=1;": 1, "z": 1})

    def test_found_in_the_pdf_text(self):
        cases = [
            # (what, code, PDF texts, found)
            ("same lines", "a = 1\nb = 2", ["a = 1\nb = 2"], 2),
            ("spacing aside", "a\t=  1", ["a = 1"], 1),
            ("LaTeX's quotes", "echo 'x' `y`", ["echo \u2019x\u2019 \u2018y\u2018"], 1),
            ("two lines run into one", "a = 1\nb = 2", ["a = 1 b = 2"], 0),
            ("a line cut into columns, whole in -layout", "int\tf(void)",
             ["int\n\nf(void)", "int      f(void)"], 1),
            ("each PDF line stands for one", "x\nx", ["x"], 1),
        ]
        for what, code, texts, found in cases:
            with self.subTest(what):
                wanted = pages.code_lines([code])
                self.assertEqual(pages.code_lines_found(wanted, texts), found)


@unittest.skipUnless(shutil.which("pdflatex") and shutil.which("pdftotext"),
                     "needs pdflatex and pdftotext")
class RealPdfText(unittest.TestCase):
    def test_raw_text_keeps_a_line_end_hyphen(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "x.tex"), "w") as f:
                f.write("\\documentclass{article}\\begin{document}\n"
                        "\\parbox{4em}{front-end}\\end{document}\n")
            subprocess.run(["pdflatex", "-interaction=nonstopmode", "-halt-on-error",
                            "x.tex"], cwd=folder, stdout=subprocess.DEVNULL, check=True)
            text = pages.pdf_text(os.path.join(folder, "x.pdf"), "raw")
        self.assertIn("front-\nend", text)
        self.assertEqual(glue_of("<p>a front-end</p><p>front end</p>", text), 0)


if __name__ == "__main__":
    unittest.main()
