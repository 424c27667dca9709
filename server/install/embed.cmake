# cmake -DIN=install.sh -DOUT=install_script.h -P embed.cmake: the install script as a C++ raw
# string, so the server serves the file kept in the repository exactly as it is.
file(READ "${IN}" text)
string(FIND "${text}" ")CORVANE_SH\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${IN} contains the raw string's end marker")
endif()
file(WRITE "${OUT}.tmp" "// Generated from server/install/install.sh; edit that file.\n#pragma once\n"
  "inline constexpr char kInstallScript[] = R\"CORVANE_SH(${text})CORVANE_SH\";\n")
file(COPY_FILE "${OUT}.tmp" "${OUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUT}.tmp")
