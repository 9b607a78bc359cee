# Fails when the image FILE links the C++ runtime's exception classes or its
# verbose terminate handler: a sign that the replacements of
# src/win32/runtime_support.cpp no longer take the place of the runtime's own.
#   cmake -DFILE=SETUP.EXE -P check-runtime-support.cmake
file(STRINGS "${FILE}" found REGEX "St12length_error|St11logic_error|St12out_of_range|terminate called")
if(found)
  message(FATAL_ERROR "${FILE} links the C++ runtime's exception support; "
                      "see src/win32/runtime_support.cpp")
endif()
