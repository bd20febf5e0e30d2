# End-to-end cases: real LaTeX + CJK + BibTeX documents through the built
# program. Each case reports itself skipped (exit code 77) when latex, bibtex,
# dvipdfmx, pdftotext or the CJK fonts are not installed.
find_package(Python3 COMPONENTS Interpreter)

if(Python3_Interpreter_FOUND AND NOT WIN32)
  set(TOLVAR_E2E_CASES
    plain-pinyin plain-unsorted unsrt-unsorted unsrt-pinyin alpha-pinyin
    abbrv-bihuashu plainnat-pinyin unsrtnat-unsorted abbrvnat-pinyin
    cjk-support missing-bbl twice untreated-fails-checks
    special-trail-bytes wrapped-keyword etal-after-comma
    wrapped-author-list traditional-plainnat traditional-alpha)
  # Output shapes the program does not handle yet; each case passes while
  # its check fails, and fails once the program handles it.
  set(TOLVAR_E2E_KNOWN_GAPS)

  foreach(case IN LISTS TOLVAR_E2E_CASES TOLVAR_E2E_KNOWN_GAPS)
    set(extra)
    if(case IN_LIST TOLVAR_E2E_KNOWN_GAPS)
      set(extra --expect-failure)
    endif()
    add_test(NAME e2e.${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/run_case.py
              $<TARGET_FILE:tolvar> ${case} ${extra})
    set_tests_properties(e2e.${case} PROPERTIES
      SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
  endforeach()
endif()

if(Python3_Interpreter_FOUND AND NOT WIN32)
  # UTF-8 documents: XeLaTeX/LuaLaTeX with ctex or xeCJK, through tolvar -utf8.
  # Each reports itself skipped when an engine or package is missing.
  set(TOLVAR_E2E_UTF8_CASES
    utf8-ctex-gbt7714-author-year utf8-xecjk-gbt7714-numerical utf8-ctex-plainnat
    utf8-xecjk-unsrt utf8-english-first utf8-lualatex-plainnat utf8-outside-gbk
    utf8-gbk-run-advises)
  foreach(case IN LISTS TOLVAR_E2E_UTF8_CASES)
    add_test(NAME e2e.${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/run_utf8_case.py
              $<TARGET_FILE:tolvar> ${case})
    set_tests_properties(e2e.${case} PROPERTIES
      SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
  endforeach()

  # The latexmkrc snippet of the README, with the real latexmk.
  add_test(NAME e2e.latexmk
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/latexmk_test.py
            $<TARGET_FILE:tolvar> ${CMAKE_SOURCE_DIR}/README.md)
  set_tests_properties(e2e.latexmk PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)
  add_test(NAME e2e.latexmk-xelatex
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/latexmk_test.py
            $<TARGET_FILE:tolvar> ${CMAKE_SOURCE_DIR}/README.md xelatex)
  set_tests_properties(e2e.latexmk-xelatex PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS e2e)

  # Every recipe block of the guides (README.md, README.zh-CN.md), run with
  # the real latexmk, bibtex, biber and engines; the guides' blocks must agree.
  add_test(NAME e2e.guide-recipes
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/guide_recipes_test.py
            $<TARGET_FILE:tolvar> ${CMAKE_SOURCE_DIR})
  set_tests_properties(e2e.guide-recipes PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 1200 LABELS e2e)

  # tolvar -keys on keys.bib through biber and bibtex: the document's order is
  # the one tolvar -sort=py gives on the BibTeX path; latexmk settles.
  set(TOLVAR_E2E_KEY_CASES
    biber-gb7714-2015ay biber-gb7714-2015 biber-authoryear-sortname
    bibtex-gbt7714-author-year latexmk-biber latexmk-bibtex-keys)
  foreach(case IN LISTS TOLVAR_E2E_KEY_CASES)
    add_test(NAME e2e.keys.${case}
      COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/bib_keys_test.py
              $<TARGET_FILE:tolvar> ${case} ${CMAKE_SOURCE_DIR}/README.md)
    set_tests_properties(e2e.keys.${case} PROPERTIES
      SKIP_RETURN_CODE 77 TIMEOUT 600 LABELS e2e)
  endforeach()

  # Install into a temporary prefix and run the installed program from
  # another folder; also checks --version, the banner and the manual page.
  add_test(NAME install
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/install_test.py
            ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR} ${PROJECT_VERSION})
  set_tests_properties(install PROPERTIES TIMEOUT 120)
endif()
