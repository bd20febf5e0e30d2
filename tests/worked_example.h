// The sample entry that the conversion tests check byte for byte, in
// memory and through the program: Chinese label, authors and
// proceedings, with the built-in keyword strings.
#ifndef TOLVAR_TESTS_WORKED_EXAMPLE_H_
#define TOLVAR_TESTS_WORKED_EXAMPLE_H_

#include <string>
#include <string_view>

#include "tests/gbk_test_strings.h"

namespace tolvar {

inline constexpr std::string_view kWorkedExample =
    "\\begin{thebibliography}{1}\n"
    "\n"
    "\\bibitem[" ZHANGSAN " and " LISI "(2005)]{zhang05}\n"
    ZHANGSAN " and " LISI ".\n"
    "\\newblock " ZHONGWEN_BIAOTI ".\n"
    "  \\newblock In " WANGWU ", editor, {\\em " HUIYI_LUNWENJI "}, pages 1--10, 2005.\n"
    "\n"
    "\\end{thebibliography}\n";

// The converted text after the processed marker, given the converted
// label line (which depends on the label form).
inline std::string worked_example_output(std::string_view label_line) {
  return "\\begin{thebibliography}{1}\n"
         "\n" +
         std::string(label_line) +
         "\n" ZHANGSAN ",~" LISI ".\n"
         "\\newblock " ZHONGWEN_BIAOTI ".\n"
         "\\newblock " FABIAOYU WANGWU BIANZHE ", {\\em " HUIYI_LUNWENJI "}, " YEMA
         "1--10, 2005.%\n"
         "%\n"
         "\\end{thebibliography}\n";
}

}  // namespace tolvar

#endif  // TOLVAR_TESTS_WORKED_EXAMPLE_H_
