# Optional parts of the build: each is a cache variable ON, OFF or AUTO.
# AUTO builds the part when its dependency is found and otherwise leaves it
# out; ON makes a missing dependency an error that names the package.

set(_ombrix_left_out "" CACHE INTERNAL "")

macro(ombrix_optional_part name description default)
  set(${name} ${default} CACHE STRING "Build ${description}: ON, OFF or AUTO (when its dependencies are found)")
  set_property(CACHE ${name} PROPERTY STRINGS ON OFF AUTO)
  set(_ombrix_description_${name} "${description}")
endmacro()

# Turns the part `name` into a plain ON or OFF. `found` says whether its
# dependency was found, `package` is the Debian package that brings it, and
# NEEDS names parts that must be built for this one.
function(ombrix_resolve_part name found package)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "NEEDS")
  set(requested "${${name}}")
  set(description "${_ombrix_description_${name}}")
  if(NOT requested)
    set(${name} OFF PARENT_SCOPE)
    return()
  endif()
  set(reason "")
  foreach(needed IN LISTS arg_NEEDS)
    if(NOT ${needed})
      set(reason "${_ombrix_description_${needed}}")
    endif()
  endforeach()
  if(reason STREQUAL "" AND NOT found)
    set(reason "the Debian package ${package}")
  endif()
  if(reason STREQUAL "")
    set(${name} ON PARENT_SCOPE)
  elseif(requested STREQUAL "AUTO")
    set(${name} OFF PARENT_SCOPE)
    set(_ombrix_left_out "${_ombrix_left_out};${description} (needs ${reason})" CACHE INTERNAL "")
  else()
    message(FATAL_ERROR "${name} is ${requested}: building ${description} needs ${reason}; "
                        "install it, or configure with -D${name}=OFF")
  endif()
endfunction()

# One line listing what AUTO left out.
function(ombrix_report_left_out_parts)
  list(REMOVE_ITEM _ombrix_left_out "")
  if(_ombrix_left_out)
    list(JOIN _ombrix_left_out "; " text)
    message(STATUS "Ombrix left out: ${text}")
  endif()
  set(_ombrix_left_out "" CACHE INTERNAL "")
endfunction()
