# cmake -DFILE=out -P crlf.cmake: writes FILE from FILE.cp932 with CR LF line
# ends. A line feed is never the second byte of a Shift-JIS character.
file(READ "${FILE}.cp932" text)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE "${FILE}" "${text}")
file(REMOVE "${FILE}.cp932")
