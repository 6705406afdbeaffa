# cmake --install into a scratch prefix: the program runs from there, the
# man page formats without a warning, the bash completion completes.
#   cmake -DBUILD=build-dir -DWORK=scratch-dir -DMAN=man -P cli_install.cmake

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${WORK}
                RESULT_VARIABLE code OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${err}")
endif()
foreach(file bin/kowaki-cli share/man/man1/kowaki-cli.1
        share/bash-completion/completions/kowaki-cli share/zsh/site-functions/_kowaki-cli)
  if(NOT EXISTS ${WORK}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

execute_process(COMMAND ${WORK}/bin/kowaki-cli --version RESULT_VARIABLE code OUTPUT_VARIABLE out)
if(NOT code EQUAL 0 OR NOT out MATCHES "^kowaki-cli [0-9]")
  message(FATAL_ERROR "installed kowaki-cli --version: ${code} ${out}")
endif()

# man --warnings names every problem groff finds on stderr.
execute_process(COMMAND ${CMAKE_COMMAND} -E env MANWIDTH=80 ${MAN} --warnings -l
                        ${WORK}/share/man/man1/kowaki-cli.1
                RESULT_VARIABLE code OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
if(NOT code EQUAL 0 OR NOT warnings STREQUAL "" OR NOT page MATCHES "EXIT STATUS")
  message(FATAL_ERROR "man --warnings: ${code}\n${warnings}")
endif()

execute_process(
  COMMAND bash -c "source \"$1\"; COMP_WORDS=(kowaki-cli export --no); COMP_CWORD=2; _kowaki_cli; echo \"\${COMPREPLY[*]}\""
          bash ${WORK}/share/bash-completion/completions/kowaki-cli
  OUTPUT_VARIABLE completed)
if(NOT completed STREQUAL "--no-clobber\n")
  message(FATAL_ERROR "bash completion of 'export --no': '${completed}'")
endif()
file(REMOVE_RECURSE ${WORK})
