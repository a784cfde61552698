# cmake -DSOURCE= -DSTAGE= -DOUTPUT= -DCHMCMD= -DICONV= -DFILES= -P BuildChm.cmake
#
# The project file and the table of contents are kept in UTF-8 like every
# source; a CHM viewer reads them in the code page of the guide's language
# (GBK for 0x804), so they are compiled from GBK copies. The pages declare
# their own charset.
#
# The viewer breaks lines only at spaces, and Chinese text has none, so a
# paragraph would run off the window's right edge as one long word. The
# compiled pages get a space after each Chinese punctuation mark, where a
# line may break; the mark's own width hides it.
file(REMOVE_RECURSE ${STAGE})
foreach(f ${FILES})
  get_filename_component(dir ${STAGE}/${f} DIRECTORY)
  file(MAKE_DIRECTORY ${dir})
  if(f MATCHES "\\.(hhp|hhc)$")
    execute_process(COMMAND ${ICONV} -f UTF-8 -t GBK ${SOURCE}/${f}
      OUTPUT_FILE ${STAGE}/${f} RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "${f} cannot be written in GBK")
    endif()
  elseif(f MATCHES "\\.html$")
    file(READ ${SOURCE}/${f} page)
    string(REGEX REPLACE "(。|，|、|；|：|！|？|）)" "\\1 " page "${page}")
    file(WRITE ${STAGE}/${f} "${page}")
  else()
    file(COPY ${SOURCE}/${f} DESTINATION ${dir})
  endif()
endforeach()
execute_process(COMMAND ${CHMCMD} HelpKD.hhp WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT EXISTS ${STAGE}/HelpKD.chm OR out MATCHES "[Ee]rror")
  message(FATAL_ERROR "chmcmd failed:\n${out}")
endif()
file(COPY_FILE ${STAGE}/HelpKD.chm ${OUTPUT})
