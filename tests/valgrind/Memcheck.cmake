# varnetik_add_memcheck_test(NAME TARGET FILTER): runs the GUI tests of TARGET that FILTER selects under
# valgrind's memcheck, labelled "memcheck". Qt is not built with AddressSanitizer, so a write into a freed
# widget inside Qt's own code shows only here. Any invalid read, write or free fails the test, as does an
# uninitialised value used in our code (memcheck.supp lists what is left to the libraries).
#
# The environment keeps the run to what it checks: the offscreen platform without GLX (no display, no
# Mesa), and QRegularExpression without its PCRE2 just-in-time compiler, whose generated code reads
# words past the subject on purpose and lives in no library a suppression could name.
find_program(VARNETIK_VALGRIND valgrind)
if(NOT VARNETIK_VALGRIND AND NOT VARNETIK_SANITIZE)
  message(WARNING "valgrind not found: the memcheck tests will fail (./scripts/deps installs it)")
endif()

function(varnetik_add_memcheck_test name target filter)
  # valgrind cannot run a program built with AddressSanitizer; that build checks memory itself.
  if(VARNETIK_SANITIZE)
    return()
  endif()
  add_test(NAME ${name}
    COMMAND ${VARNETIK_VALGRIND} --tool=memcheck --error-exitcode=99 --leak-check=no --num-callers=40
            --suppressions=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/memcheck.supp
            $<TARGET_FILE:${target}> --gtest_filter=${filter})
  set_tests_properties(${name} PROPERTIES LABELS memcheck TIMEOUT 900
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_OFFSCREEN_NO_GLX=1;QT_ENABLE_REGEXP_JIT=0")
endfunction()
