# Writes the README's section on the Windows screen saver as a text file with
# Windows line ends, for the portable zip.
#   cmake -DREADME=README.md -DOUT=README-Windows.txt -P readme-windows.cmake
file(READ "${README}" text)
set(heading "## The Windows screen saver")
string(FIND "${text}" "\n${heading}\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${README} has no section '${heading}'")
endif()
math(EXPR start "${start} + 1")
string(SUBSTRING "${text}" ${start} -1 section)
# The section ends where the next one of the same level begins.
string(LENGTH "${heading}" skip)
string(SUBSTRING "${section}" ${skip} -1 rest)
string(FIND "${rest}" "\n## " end)
if(NOT end EQUAL -1)
  math(EXPR end "${end} + ${skip} + 1")
  string(SUBSTRING "${section}" 0 ${end} section)
endif()
string(STRIP "${section}" section)
string(REPLACE "\n" "\r\n" section "Nivora Glade\n\n${section}\n")
file(WRITE "${OUT}" "${section}")
