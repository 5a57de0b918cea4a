# Run at installation (`cmake --install`, and so by CPack for the installer and the .zip): puts
# beside the programs exactly what they load that Windows does not have. The DLLs are found by
# walking the programs' imports (objdump -p), then those of each DLL taken, so nothing else of
# the Qt installation comes along; the Windows platform plugin and the Vista style, which Qt
# loads by name, are taken first. Everything ends stripped.
#
# Set before: LIR2_DEPLOY_QT (the Qt prefix), LIR2_DEPLOY_DIRS (where DLLs are looked for),
# LIR2_DEPLOY_OBJDUMP, LIR2_DEPLOY_STRIP, LIR2_DEPLOY_TRANSLATIONS (the .qm files),
# LIR2_DEPLOY_REPORT (a file that lists what was taken).
set(dest "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")

set(plugins platforms/qwindows.dll styles/qwindowsvistastyle.dll)
set(queue "")
foreach(plugin IN LISTS plugins)
  get_filename_component(folder ${plugin} DIRECTORY)
  file(COPY ${LIR2_DEPLOY_QT}/plugins/${plugin} DESTINATION ${dest}/${folder})
  list(APPEND queue ${dest}/${plugin})
endforeach()
file(COPY ${LIR2_DEPLOY_TRANSLATIONS} DESTINATION ${dest}/translations)
file(GLOB programs ${dest}/*.exe)
list(APPEND queue ${programs})

# DLL names are case-blind on Windows: index what the folders hold by lower-case name.
set(index "")
foreach(dir IN LISTS LIR2_DEPLOY_DIRS)
  file(GLOB dlls ${dir}/*.dll)
  foreach(dll IN LISTS dlls)
    get_filename_component(name ${dll} NAME)
    string(TOLOWER ${name} key)
    if(NOT DEFINED found_${key})
      set(found_${key} ${dll})
    endif()
  endforeach()
endforeach()

set(taken "")
set(taken_names "")
set(system "")
while(queue)
  list(POP_FRONT queue file)
  execute_process(COMMAND ${LIR2_DEPLOY_OBJDUMP} -p ${file} OUTPUT_VARIABLE dump
                  RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "objdump cannot read ${file}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: " "" name "${import}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" key)
    list(FIND taken "${key}" at_taken)
    list(FIND system "${key}" at_system)
    if(at_taken GREATER -1 OR at_system GREATER -1)
      continue()
    endif()
    if(DEFINED found_${key})
      file(COPY ${found_${key}} DESTINATION ${dest})
      get_filename_component(copied ${found_${key}} NAME)
      list(APPEND queue ${dest}/${copied})
      list(APPEND taken ${key})
      list(APPEND taken_names ${copied})
    else()
      list(APPEND system ${key})
    endif()
  endforeach()
endwhile()
list(SORT taken_names CASE INSENSITIVE)
list(SORT system)
list(JOIN taken_names " " taken_text)
list(JOIN system " " system_text)
file(WRITE ${LIR2_DEPLOY_REPORT} "Deployed beside the programs: ${taken_text}\nFrom Windows itself: ${system_text}\n")

file(GLOB_RECURSE binaries ${dest}/*.exe ${dest}/*.dll)
foreach(binary IN LISTS binaries)
  execute_process(COMMAND ${LIR2_DEPLOY_STRIP} --strip-unneeded ${binary} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot strip ${binary}")
  endif()
endforeach()
