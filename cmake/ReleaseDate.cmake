# The release date: SOURCE_DATE_EPOCH when set, else the last commit's time,
# else the date of this release, so that builds of one source repeat.
set(release_epoch "$ENV{SOURCE_DATE_EPOCH}")
if(NOT release_epoch MATCHES "^[0-9]+$")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
                    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE release_epoch
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
endif()
if(NOT release_epoch MATCHES "^[0-9]+$")
  set(release_epoch 1796601600) # 2026-12-07
endif()
set(saved_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${release_epoch})
string(TIMESTAMP TRIMVALE_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TRIMVALE_RELEASE_YEAR "%Y" UTC)
string(TIMESTAMP TRIMVALE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${saved_epoch}")
