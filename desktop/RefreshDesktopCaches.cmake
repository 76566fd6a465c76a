# Runs at the end of `cmake --install`. A staged install (DESTDIR, which the
# package build uses too) leaves the caches to the system that unpacks it:
# Debian's triggers rebuild them there.
if(NOT "$ENV{DESTDIR}" STREQUAL "")
  return()
endif()
set(share "${CMAKE_INSTALL_PREFIX}/share")
foreach(step "update-mime-database;${share}/mime"
             "update-desktop-database;-q;${share}/applications"
             "gtk-update-icon-cache;-q;-t;-f;${share}/icons/hicolor")
  list(POP_FRONT step tool)
  find_program(tool_path ${tool})
  if(tool_path)
    list(JOIN step " " shown)
    message(STATUS "Refreshing: ${tool} ${shown}")
    execute_process(COMMAND ${tool_path} ${step})
  endif()
  unset(tool_path CACHE)
  unset(tool_path)
endforeach()
