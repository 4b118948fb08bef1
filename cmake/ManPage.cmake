# Writes the manual page of tovrin3-cli from its own usage texts: CLI is the program, VERSION its
# version, OUT the page to write.
execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE usage RESULT_VARIABLE status)
execute_process(COMMAND ${CLI} report --help OUTPUT_VARIABLE reportUsage)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "tovrin3-cli --help failed")
endif()

function(roff_lines text out)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

roff_lines("${usage}" usage)
roff_lines("${reportUsage}" reportUsage)
file(WRITE ${OUT} ".TH TOVRIN3-CLI 1 \"\" \"tovrin3 ${VERSION}\" \"Comandi\"
.SH NOME
tovrin3\\-cli \\- contabilit\\(`a in partita doppia dalla riga di comando
.SH SINTESI
.nf
${usage}.fi
.SH STAMPE
.nf
${reportUsage}.fi
.SH DESCRIZIONE
Ogni comando lavora sulla contabilit\\(`a della cartella indicata con \\-\\-archive.
I comandi che scrivono prendono il blocco del programma e si rifiutano mentre il programma
\\(`e aperto. I messaggi sono righe in italiano sullo standard error.
.SH VEDERE ANCHE
.BR tovrin3 (1)
")
