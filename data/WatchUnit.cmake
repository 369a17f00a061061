# Run at install time: writes the watcher's systemd user unit naming the installed skerrin.
# The prefix is known only then (cmake --install --prefix, CPack), not when configuring.
# In: SKERRIN_UNIT_TEMPLATE, SKERRIN_UNIT_OUTPUT, SKERRIN_BINDIR, and CMake's CMAKE_INSTALL_PREFIX.
if(IS_ABSOLUTE "${SKERRIN_BINDIR}")
  set(bin "${SKERRIN_BINDIR}/skerrin")
else()
  set(bin "${CMAKE_INSTALL_PREFIX}/${SKERRIN_BINDIR}/skerrin")
endif()
# Quoted for systemd: spaces stay in the path; backslashes, quotes, specifiers and variables are
# taken literally.
string(REPLACE "\\" "\\\\" bin "${bin}")
string(REPLACE "\"" "\\\"" bin "${bin}")
string(REPLACE "%" "%%" bin "${bin}")
string(REPLACE "$" "$$" bin "${bin}")
set(SKERRIN_WATCH_EXEC "\"${bin}\"")
configure_file("${SKERRIN_UNIT_TEMPLATE}" "${SKERRIN_UNIT_OUTPUT}" @ONLY)
