// The frame of an --html5 document: the banner, \documentclass, the fixed
// preamble (packages from texlive-latex-base and texlive-latex-recommended
// only, and the few commands the writer uses), the title block, and the
// closing.
#pragma once

#include "html5/latex2e/escape.h"
#include "html5/latex2e/writer.h"
#include "output/byte_sink.h"

#include <tagweave/tagweave.h>

#include <cstddef>

namespace tagweave::latex2e {

/// The deepest nesting of lists, quotes and notes the preamble's list
/// environments set, each level indented further: two more than the six
/// that pages such as Python's documentation nest. A list nested deeper
/// adds its items to the deepest list; LaTeX's own limit is six.
constexpr std::size_t max_list_depth = 8;

/// Everything up to and including what follows \begin{document}: the
/// header, \maketitle when there is a title or an author (the options'
/// own, else the page's), the table of contents.
void write_preamble(byte_sink& out, const document_options& options,
                    const page_metadata& page, escape_state& escape);

/// The footer and \end{document}.
void write_closing(byte_sink& out, const document_options& options);

}  // namespace tagweave::latex2e
