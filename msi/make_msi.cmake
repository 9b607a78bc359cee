# Builds one MSI package with wixl, reproducibly: the same sources and
# package tree give the same bytes. Run at build time, where wixl resolves
# the package's relative paths:
#   cmake -DWIXL=... -DMSIBUILD=... -DMSIDUMP=... -DFAKETIME=...
#         -DVERSION=<x.y.z> -DARCH=x64|x86 -DUPGRADE_CODE=<GUID> -DPROGRAM_FILES=<Directory id>
#         -DWIN64=yes|no -DPACKAGE_DIR=<dir> -DACTION_DLL=<file> -DWXS=<file> -DFRAGMENT=<file>
#         -DOUTPUT=<file> -P make_msi.cmake
# wixl writes a random package code and its own clock's times into the
# summary information. The package code becomes one derived from the version,
# the architecture and everything else the package holds (every table and
# stream); with SOURCE_DATE_EPOCH set (a release sets the commit's time) the
# times are that time. The cabinet holds the files' modification times: a
# release sets them too.

# Each version and architecture has a product code of its own, derived from
# the upgrade code: every build of a version has the same.
string(UUID product_code NAMESPACE ${UPGRADE_CODE} NAME "${VERSION} ${ARCH}" TYPE SHA1 UPPER)
if(NOT VERSION MATCHES "^([0-9]+\\.[0-9]+)\\.([0-9]+)$")
  message(FATAL_ERROR "not a version of three numbers: ${VERSION}")
endif()
math(EXPR next_field "${CMAKE_MATCH_2} + 1")
set(next_version "${CMAKE_MATCH_1}.${next_field}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE failed OUTPUT_QUIET)
  if(failed)
    message(FATAL_ERROR "failed (${failed}): ${ARGN}")
  endif()
endfunction()

set(new "${OUTPUT}.new")
# The cabinet's file times are local times: UTC makes them the same everywhere.
set(clock ${CMAKE_COMMAND} -E env TZ=UTC)
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  string(TIMESTAMP when "%Y-%m-%d %H:%M:%S" UTC)
  list(APPEND clock "${FAKETIME}" -f "${when}")
endif()
run(${clock} "${WIXL}" --arch ${ARCH} --output "${new}" -D Version=${VERSION}
    -D NextVersion=${next_version} -D ProductCode=${product_code} -D UpgradeCode=${UPGRADE_CODE}
    -D ProgramFilesFolder=${PROGRAM_FILES} -D Win64=${WIN64} -D "PackageDir=${PACKAGE_DIR}"
    -D "ActionDll=${ACTION_DLL}" "${WXS}" "${FRAGMENT}")

# Every table and stream but the summary information, which holds the
# package code and the times.
set(dump "${OUTPUT}.dump")
file(REMOVE_RECURSE "${dump}")
file(MAKE_DIRECTORY "${dump}")
run("${MSIDUMP}" --tables --streams --directory "${dump}" "${new}")
file(GLOB_RECURSE parts LIST_DIRECTORIES false RELATIVE "${dump}" "${dump}/*")
list(SORT parts)
set(content "")
foreach(part IN LISTS parts)
  if(part MATCHES "SummaryInformation")
    continue()
  endif()
  file(SHA256 "${dump}/${part}" hash)
  string(APPEND content "${part} ${hash}\n")
endforeach()
string(SHA256 content_hash "${content}")
string(UUID package_code NAMESPACE ${UPGRADE_CODE} NAME "${VERSION} ${ARCH} ${content_hash}"
       TYPE SHA1 UPPER)

# msibuild sets the subject, the author, the template and the package code
# together: the first three as wixl wrote them.
file(STRINGS "${dump}/_SummaryInformation.idt" summary)
foreach(line IN LISTS summary)
  if(line MATCHES "^3\t(.*)$")
    set(subject "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^4\t(.*)$")
    set(author "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^7\t(.*)$")
    set(template "${CMAKE_MATCH_1}")
  endif()
endforeach()
file(REMOVE_RECURSE "${dump}")
# Not through run(): the template ("x64;1033") holds a list separator.
execute_process(COMMAND ${clock} "${MSIBUILD}" "${new}" -s "${subject}" "${author}" "${template}"
                        "{${package_code}}"
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "msibuild could not set the summary information of ${new}")
endif()
file(RENAME "${new}" "${OUTPUT}")
