# What a Debian package carries besides the program: the copyright file, made from LICENSE in
# the copyright format, and the changelog, compressed as Debian's tools expect.
set(LIR2_MAINTAINER "LIR2Gui developers <developers@lir2gui.org>")

file(READ ${CMAKE_SOURCE_DIR}/LICENSE license)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" _ "${license}")
set(LIR2_COPYRIGHT "${CMAKE_MATCH_1}")
# The licence's text after its title and copyright line, indented one blank, with "." for an
# empty line.
string(REGEX REPLACE "^[^\n]*\n\nCopyright[^\n]*\n\n" "" body "${license}")
string(REGEX REPLACE "\n+$" "" body "${body}")
string(REPLACE "\n\n" "\n.\n" body "${body}")
string(REPLACE "\n" "\n " body "${body}")
set(LIR2_LICENSE_TEXT " ${body}")
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/debian/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/copyright
               @ONLY)

# A package whose version has no Debian revision is native: its changelog is changelog.gz.
set(changelog_gz ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${changelog_gz}
  COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/debian/changelog
  VERBATIM)
add_custom_target(lir2_debian_changelog ALL DEPENDS ${changelog_gz})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright ${changelog_gz}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lir2gui)
