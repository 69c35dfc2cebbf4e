# SPDX-License-Identifier: GPL-3.0-or-later
# The release history has one home, res/debian/changelog: the Debian package ships it, and the AppStream
# metadata lists the same releases with the same dates. The newest entry's signature names the package's
# maintainer.
#   KELVORA_RELEASES_XML        <release> elements, newest first
#   KELVORA_CHANGELOG_VERSION   version of the newest entry (project(VERSION) must equal it)
#   KELVORA_MAINTAINER          "Name <address>" of the newest entry

set(KELVORA_CHANGELOG ${PROJECT_SOURCE_DIR}/res/debian/changelog)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KELVORA_CHANGELOG})
file(READ ${KELVORA_CHANGELOG} changelog)

# An entry opens with "kelvora (VERSION) DISTRIBUTION; urgency=U" and closes with its signature
# " -- Name <address>  Day, DD Mon YYYY HH:MM:SS +ZZZZ" (the RFC 5322 date of Debian's changelog format).
# The matches stop before the head's "; urgency", whose semicolon would split a CMake list.
set(entry_head "(^|\n)kelvora \\(([^ )]+)\\) ")
set(entry_tail "\n -- ([^\n<]+ <[^\n>]+>)  [A-Z][a-z][a-z], ([0-9][0-9]?) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
string(REGEX MATCHALL "${entry_head}" heads "${changelog}")
string(REGEX MATCHALL "${entry_tail}" tails "${changelog}")
list(LENGTH heads entries)
list(LENGTH tails signatures)
if(entries EQUAL 0 OR NOT entries EQUAL signatures)
  message(FATAL_ERROR "${KELVORA_CHANGELOG}: ${entries} entries but ${signatures} signatures")
endif()

set(months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
set(KELVORA_RELEASES_XML "")
math(EXPR last "${entries} - 1")
foreach(i RANGE ${last})
  list(GET heads ${i} head)
  list(GET tails ${i} tail)
  string(REGEX MATCH "${entry_head}" _ "${head}")
  set(version ${CMAKE_MATCH_2})
  string(REGEX MATCH "${entry_tail}" _ "${tail}")
  set(maintainer ${CMAKE_MATCH_1})
  list(FIND months ${CMAKE_MATCH_3} month)
  if(month LESS 0)
    message(FATAL_ERROR "${KELVORA_CHANGELOG}: '${CMAKE_MATCH_3}' is not a month in the entry of ${version}")
  endif()
  math(EXPR month "${month} + 1")
  math(EXPR day "${CMAKE_MATCH_2}")
  foreach(field month day)
    if(${field} LESS 10)
      set(${field} 0${${field}})
    endif()
  endforeach()
  if(i EQUAL 0)
    set(KELVORA_CHANGELOG_VERSION ${version})
    set(KELVORA_MAINTAINER ${maintainer})
  else()
    string(APPEND KELVORA_RELEASES_XML "\n    ")
  endif()
  string(APPEND KELVORA_RELEASES_XML "<release version=\"${version}\" date=\"${CMAKE_MATCH_4}-${month}-${day}\"/>")
endforeach()

if(NOT KELVORA_CHANGELOG_VERSION STREQUAL PROJECT_VERSION)
  message(WARNING "project(VERSION) is ${PROJECT_VERSION} but the newest entry of ${KELVORA_CHANGELOG} is "
                  "${KELVORA_CHANGELOG_VERSION}: add an entry for the new version")
endif()
