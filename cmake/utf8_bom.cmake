# Copies IN to OUT with a UTF-8 byte-order mark in front, so that Windows' Notepad takes the
# Chinese guide for UTF-8.   cmake -DIN=<file> -DOUT=<file> -P utf8_bom.cmake
file(READ ${IN} content)
string(ASCII 239 187 191 bom)
file(WRITE ${OUT} "${bom}${content}")
