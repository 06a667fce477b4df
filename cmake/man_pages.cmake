# Man pages from their scdoc sources, compressed as Debian installs them.
# Without scdoc the build goes on without them; a package build asks for them.
option(VZRM_REQUIRE_MAN_PAGES "Fail when scdoc is missing (package builds)" OFF)
find_program(VZRM_SCDOC scdoc)
if(NOT VZRM_SCDOC)
  if(VZRM_REQUIRE_MAN_PAGES)
    message(FATAL_ERROR "scdoc is needed for the man pages (apt-get install scdoc)")
  endif()
  message(STATUS "scdoc not found: the man pages are not built")
  return()
endif()

set(man_dir ${PROJECT_BINARY_DIR}/man)
set(man_pages)
foreach(program vzrmaud vzrmlog vzrmreg)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${program}.1.scd)
  set(page ${man_dir}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    # The man macros turn hyphenation and justification back on at .TH: off
    # again after it, and no line broken after a hyphen, so that every path,
    # option and example pastes as it is.
    COMMAND sh -c "'${VZRM_SCDOC}' < '${source}' | sed '/^\\.TH /a .nh\\n.ad l\\n.cflags 0 -\\\\(hy' > '${page}' && gzip -9nf '${page}'"
    DEPENDS ${source}
    COMMENT "Man page ${program}(1)"
    VERBATIM)
  list(APPEND man_pages ${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT program)
