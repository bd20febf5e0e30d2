#include "bib/bib_sources.h"

#include <algorithm>

namespace tolvar {
namespace {

char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ends_with_nocase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (size_t k = 0; k < suffix.size(); ++k) {
    if (ascii_lower(text[text.size() - suffix.size() + k]) != suffix[k]) return false;
  }
  return true;
}

void add_once(std::string name, std::vector<std::string>* names) {
  if (name.empty()) return;
  if (std::find(names->begin(), names->end(), name) == names->end()) names->push_back(std::move(name));
}

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                           text.front() == '\n')) {
    text.remove_prefix(1);
  }
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

std::string xml_text(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out.push_back(c);
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  return out;
}

// The value of attribute `name` in the attribute text of a tag; `fallback`
// when it is not there.
std::string_view attribute(std::string_view tag, std::string_view name, std::string_view fallback) {
  for (size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
    const bool starts_word = at == 0 || tag[at - 1] == ' ' || tag[at - 1] == '\t' || tag[at - 1] == '\n';
    const size_t equals = at + name.size();
    if (!starts_word || equals + 1 >= tag.size() || tag[equals] != '=') continue;
    const char quote = tag[equals + 1];
    if (quote != '"' && quote != '\'') continue;
    const size_t end = tag.find(quote, equals + 2);
    if (end == std::string_view::npos) return fallback;
    return tag.substr(equals + 2, end - equals - 2);
  }
  return fallback;
}

}  // namespace

std::vector<std::string> bcf_bib_files(std::string_view bcf) {
  constexpr std::string_view kOpen = "<bcf:datasource";
  constexpr std::string_view kClose = "</bcf:datasource>";
  std::vector<std::string> names;
  for (size_t at = bcf.find(kOpen); at != std::string_view::npos; at = bcf.find(kOpen, at + 1)) {
    const size_t tag_end = bcf.find('>', at);
    if (tag_end == std::string_view::npos) break;
    const std::string_view tag = bcf.substr(at + kOpen.size(), tag_end - at - kOpen.size());
    if (!tag.empty() && tag.back() == '/') continue;
    const size_t close = bcf.find(kClose, tag_end);
    if (close == std::string_view::npos) break;
    if (attribute(tag, "type", "file") != "file" || attribute(tag, "datatype", "bibtex") != "bibtex") continue;
    add_once(xml_text(trim(bcf.substr(tag_end + 1, close - tag_end - 1))), &names);
  }
  return names;
}

std::vector<std::string> aux_bib_files(std::string_view aux) {
  constexpr std::string_view kBibdata = "\\bibdata{";
  std::vector<std::string> names;
  for (size_t at = aux.find(kBibdata); at != std::string_view::npos; at = aux.find(kBibdata, at + 1)) {
    const size_t begin = at + kBibdata.size();
    const size_t end = aux.find('}', begin);
    if (end == std::string_view::npos) break;
    std::string_view list = aux.substr(begin, end - begin);
    while (!list.empty()) {
      const size_t comma = list.find(',');
      std::string name(trim(list.substr(0, comma)));
      if (!name.empty() && !ends_with_nocase(name, ".bib")) name += ".bib";
      add_once(std::move(name), &names);
      list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
  }
  return names;
}

bool names_bib_file(std::string_view argument) { return ends_with_nocase(argument, ".bib"); }

std::string document_base(std::string_view argument) {
  for (std::string_view suffix : {".tex", ".aux", ".bcf", ".bbl"}) {
    if (ends_with_nocase(argument, suffix)) return std::string(argument.substr(0, argument.size() - suffix.size()));
  }
  return std::string(argument);
}

bool is_in_tex_tree(std::string_view path) {
  size_t begin = 0;
  while (begin < path.size()) {
    size_t end = path.find_first_of("/\\", begin);
    if (end == std::string_view::npos) end = path.size();
    // Only folders count: the file's own name is the last component.
    if (end == path.size()) break;
    std::string folder;
    for (char c : path.substr(begin, end - begin)) folder.push_back(ascii_lower(c));
    if (folder.rfind("texmf", 0) == 0 || folder.rfind(".texmf", 0) == 0 || folder == "texlive" ||
        folder == "miktex") {
      return true;
    }
    begin = end + 1;
  }
  return false;
}

}  // namespace tolvar
