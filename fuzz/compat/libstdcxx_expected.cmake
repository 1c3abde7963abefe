# Clang before 16 cannot choose between the prospective destructors that libstdc++'s
# <expected> declares (conditionally trivial special members, P0848), and libstdc++ hides
# the header from compilers that do not claim that feature. For the fuzz build only, this
# writes a copy of the header into `out_dir` in which each class has its one non-trivial
# destructor (the same body, without the triviality constraint) and the feature test is
# dropped. Behaviour is unchanged; std::expected merely stops being trivially destructible.
# Sets `ok_var` to TRUE, or to FALSE with a reason in `${ok_var}_REASON` when the header is
# not the one this adapts.
function(qv_write_compat_expected compiler out_dir ok_var)
  set(${ok_var} FALSE PARENT_SCOPE)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E echo "#include <expected>"
    COMMAND ${compiler} -std=c++2b -x c++ -E -M -
    OUTPUT_VARIABLE deps RESULT_VARIABLE rc ERROR_QUIET)
  string(REGEX MATCH "[^ \\\\\n]*/expected" header "${deps}")
  if(NOT header OR NOT EXISTS "${header}")
    set(${ok_var}_REASON "cannot locate the standard library's <expected>" PARENT_SCOPE)
    return()
  endif()
  file(READ "${header}" text)

  # Patterns hold semicolons, so they are passed one by one rather than as lists.
  set(missing "")
  macro(replace_once pattern replacement)
    string(FIND "${text}" "${pattern}" found)
    if(found EQUAL -1)
      set(missing TRUE)
    endif()
    string(REPLACE "${pattern}" "${replacement}" text "${text}")
  endmacro()
  replace_once("#if __cplusplus > 202002L && __cpp_concepts >= 202002L" "#if __cplusplus > 202002L")
  replace_once("      constexpr ~expected() = default;\n" "")
  replace_once("      constexpr ~expected()\n      requires (!is_trivially_destructible_v<_Tp>)\n\t    || (!is_trivially_destructible_v<_Er>)\n"
               "      constexpr ~expected()\n")
  replace_once("      constexpr ~expected() requires (!is_trivially_destructible_v<_Er>)\n"
               "      constexpr ~expected()\n")
  if(missing)
    string(CONCAT reason "${header} is not the libstdc++ 12 header this knows how to adapt "
                         "(clang 16 or later needs no adapting)")
    set(${ok_var}_REASON "${reason}" PARENT_SCOPE)
    return()
  endif()
  # Written through a copy that only replaces the header when it changed, so that
  # configuring again does not make every source that includes it stale.
  file(WRITE "${out_dir}/expected.new"
       "// Generated from ${header} for clang before 16; see fuzz/compat/libstdcxx_expected.cmake.\n"
       "${text}")
  configure_file("${out_dir}/expected.new" "${out_dir}/expected" COPYONLY)
  set(${ok_var} TRUE PARENT_SCOPE)
endfunction()
