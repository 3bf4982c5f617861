# Writes the man page of the ombrix program from its own --help texts: the
# program's, then every subcommand's, found in the "Subcommands:" lists.
#   cmake -DPROGRAM=path/to/ombrix -DOUTPUT=ombrix.1 -DVERSION=x.y.z -P ManPage.cmake

# roff needs backslashes, leading dots and quotes, and minus signs escaped.
function(roff_escaped text out)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

function(help_of words out)
  string(REPLACE " " ";" arguments "${words}")
  execute_process(COMMAND "${PROGRAM}" ${arguments} --help
    OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} ${words} --help failed: ${status}")
  endif()
  set(${out} "${help}" PARENT_SCOPE)
endfunction()

# The names in the "Subcommands:" list of a help text.
function(subcommands_of help out)
  set(names "")
  string(FIND "${help}" "\nSubcommands:\n" start)
  if(start GREATER -1)
    string(SUBSTRING "${help}" ${start} -1 list)
    string(REPLACE "\n" ";" lines "${list}")
    foreach(line IN LISTS lines)
      if(line MATCHES "^  ([a-z][a-z0-9-]*)( |$)")
        list(APPEND names "${CMAKE_MATCH_1}")
      endif()
    endforeach()
  endif()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Appends a section for the command `words` and for each of its subcommands.
function(add_command words)
  help_of("${words}" help)
  roff_escaped("${help}" escaped)
  if(words STREQUAL "")
    string(APPEND page ".SH DESCRIPTION\n.nf\n${escaped}.fi\n.SH COMMANDS\n")
  else()
    roff_escaped("${words}" title)
    string(APPEND page ".SS ombrix ${title}\n.nf\n${escaped}.fi\n")
  endif()
  subcommands_of("${help}" names)
  foreach(name IN LISTS names)
    if(words STREQUAL "")
      add_command("${name}")
    else()
      add_command("${words} ${name}")
    endif()
  endforeach()
  set(page "${page}" PARENT_SCOPE)
endfunction()

set(page ".TH OMBRIX 1 \"\" \"ombrix ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\nombrix \\- byte\\-array utilities for diagnostic frames and memory images\n")
string(APPEND page ".SH SYNOPSIS\n.B ombrix\n\\fISUBCOMMAND\\fR [\\fIOPTIONS\\fR]\n.br\n.B ombrix\n\\-\\-help | \\-\\-version\n")
add_command("")
string(APPEND page ".SH EXIT STATUS\n0 done; 1 a frame that \\fBcrc \\-\\-check\\fR finds corrupt; 2 an error, reported on standard error.\n")
string(APPEND page ".SH COMPONENT SERVER\n"
  "The same classes serve programs in any language through \\fIlibombrix.so.1\\fR, whose C "
  "interface is \\fI<ombrix/ombrix_c.h>\\fR: \\fBombrix_create\\fR makes a class by name, "
  "\\fBombrix_invoke\\fR calls a member by name (\\fBombrix_invoke_number\\fR by number), "
  "\\fBombrix_add_ref\\fR and \\fBombrix_release\\fR count references, and "
  "\\fBombrix_error_number\\fR, \\fBombrix_error_source\\fR and "
  "\\fBombrix_error_description\\fR tell the last failure on the calling thread. "
  "Build with \\fBpkg\\-config \\-\\-cflags \\-\\-libs ombrix\\-c\\fR; "
  "\\fBombrix classes\\fR lists what it serves.\n")
file(WRITE "${OUTPUT}" "${page}")
