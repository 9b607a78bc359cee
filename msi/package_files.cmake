# Writes the WiX fragment of the package tree: every file that the package
# directory holds, each in a component of its own, in INSTALLFOLDER or the
# subfolder it has in the package. Run at build time, after the package is
# laid out:
#   cmake -DPACKAGE_DIR=<dir> -DSOURCE_VAR=<wixl variable> -DOUTPUT=<file> -P package_files.cmake
# Components sit directly in the folders they fill (wixl-heat would put them
# in a directory "." of their own), so that removing a folder's components
# removes the folder and its subfolders.

file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${PACKAGE_DIR}" "${PACKAGE_DIR}/*")
list(SORT files)
if(NOT files)
  message(FATAL_ERROR "no package files in ${PACKAGE_DIR}")
endif()

# WiX identifiers: letters, digits, '_' and '.', beginning with a letter or '_'.
function(wix_id prefix path out)
  string(MAKE_C_IDENTIFIER "${path}" id)
  set(${out} "${prefix}_${id}" PARENT_SCOPE)
endfunction()

# The folders below INSTALLFOLDER, parents before their children.
set(folders "")
foreach(file IN LISTS files)
  get_filename_component(folder "${file}" DIRECTORY)
  while(NOT folder STREQUAL "")
    list(APPEND folders "${folder}")
    get_filename_component(folder "${folder}" DIRECTORY)
  endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders)

set(xml "")
set(refs "")
# The components of the files directly in `folder` ("" for INSTALLFOLDER).
function(add_components folder folder_id)
  foreach(file IN LISTS files)
    get_filename_component(file_folder "${file}" DIRECTORY)
    if(NOT file_folder STREQUAL folder)
      continue()
    endif()
    wix_id(file "${file}" file_id)
    string(APPEND xml "      <Component Id=\"${file_id}\" Guid=\"*\" Win64=\"$(var.Win64)\">\n"
                      "        <File Id=\"${file_id}\" KeyPath=\"yes\" "
                      "Source=\"$(var.${SOURCE_VAR})/${file}\"/>\n"
                      "      </Component>\n")
    string(APPEND refs "      <ComponentRef Id=\"${file_id}\"/>\n")
  endforeach()
  set(xml "${xml}" PARENT_SCOPE)
  set(refs "${refs}" PARENT_SCOPE)
endfunction()

string(APPEND xml "    <DirectoryRef Id=\"INSTALLFOLDER\">\n")
add_components("" INSTALLFOLDER)
string(APPEND xml "    </DirectoryRef>\n")
foreach(folder IN LISTS folders)
  wix_id(dir "${folder}" folder_id)
  get_filename_component(parent "${folder}" DIRECTORY)
  get_filename_component(name "${folder}" NAME)
  set(parent_id INSTALLFOLDER)
  if(NOT parent STREQUAL "")
    wix_id(dir "${parent}" parent_id)
  endif()
  string(APPEND xml "    <DirectoryRef Id=\"${parent_id}\">\n"
                    "      <Directory Id=\"${folder_id}\" Name=\"${name}\"/>\n"
                    "    </DirectoryRef>\n"
                    "    <DirectoryRef Id=\"${folder_id}\">\n")
  add_components("${folder}" "${folder_id}")
  string(APPEND xml "    </DirectoryRef>\n")
endforeach()

file(WRITE "${OUTPUT}"
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
     "<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\">\n  <Fragment>\n${xml}  </Fragment>\n"
     "  <Fragment>\n    <ComponentGroup Id=\"PackageFiles\">\n${refs}    </ComponentGroup>\n"
     "  </Fragment>\n</Wix>\n")
