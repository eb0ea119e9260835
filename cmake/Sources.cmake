# Source lists. Logic files include no Windows header and build everywhere;
# glue files talk to Win32/COM and build only for Windows.

set(VELTRA_LOGIC_SOURCES
  src/addin/Messages.cpp
  src/addin/Text.cpp
  src/addin/Names.cpp
)

set(VELTRA_GLUE_SOURCES
  src/addin/AddInObj.cpp
  src/server/Server.cpp
)

# Tests of the logic: built natively and for Windows (run under Wine).
set(VELTRA_LOGIC_TESTS
  tests/addin/MessagesTest.cpp
  tests/addin/NamesTest.cpp
  tests/addin/TextTest.cpp
)

# Tests through real COM, Windows only.
set(VELTRA_WINE_TESTS
  tests/wine/HostFixture.cpp
  tests/wine/AddInTest.cpp
  tests/wine/ServerTest.cpp
)
