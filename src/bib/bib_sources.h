// Which .bib files a document uses: the data sources of its biber control
// file (.bcf), or the \bibdata of its .aux for BibTeX.
#ifndef TOLVAR_BIB_BIB_SOURCES_H_
#define TOLVAR_BIB_BIB_SOURCES_H_

#include <string>
#include <string_view>
#include <vector>

namespace tolvar {

// The file names of the BibTeX data sources of a .bcf, in order, each
// once, with XML's character entities undone. Sources of another type
// (biblatexml, a URL) are left out.
std::vector<std::string> bcf_bib_files(std::string_view bcf);

// The .bib files of every \bibdata{...} of an .aux, in order, each once;
// ".bib" is added to a name without it, as BibTeX does.
std::vector<std::string> aux_bib_files(std::string_view aux);

// Whether the argument names a .bib file (any letter case) rather than a
// document.
bool names_bib_file(std::string_view argument);

// The base name of the document an argument names: without a final .tex,
// .aux, .bcf or .bbl (any letter case).
std::string document_base(std::string_view argument);

// Whether `path` lies in a TeX tree (a folder called texmf..., texlive or
// miktex on its way), whose files tolvar never changes.
bool is_in_tex_tree(std::string_view path);

}  // namespace tolvar

#endif  // TOLVAR_BIB_BIB_SOURCES_H_
