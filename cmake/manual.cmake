# Turns the Markdown manual into one HTML page with the pictures it shows in pages/ beside it.
#   cmake -DCMARK=cmark -DSOURCE=docs/manual.md -DTEMPLATE=docs/manual.html.in -DOUTPUT_DIR=out -P manual.cmake
execute_process(COMMAND "${CMARK}" --to html "${SOURCE}" OUTPUT_VARIABLE body RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmark could not read ${SOURCE}")
endif()

# A line break between two Japanese characters would show as a space: such lines are joined. Where
# Latin text meets the break, it stays a space, as between Japanese and Latin words on one line.
set(previous "")
while(NOT previous STREQUAL body)
    set(previous "${body}")
    string(REGEX REPLACE "([^\n\t -~])\n([^\n\t -~])" "\\1\\2" body "${body}")
endwhile()

# Headings get the ids that the contents at the top link to (and that a Markdown viewer gives them).
string(REGEX MATCHALL "<h[23]>[^<]*</h[23]>" headings "${body}")
foreach(heading IN LISTS headings)
    string(REGEX REPLACE "^<h([23])>([^<]*)</h[23]>$" "\\1" level "${heading}")
    string(REGEX REPLACE "^<h[23]>([^<]*)</h[23]>$" "\\1" text "${heading}")
    string(TOLOWER "${text}" id)
    string(REPLACE " " "-" id "${id}")
    string(REPLACE "${heading}" "<h${level} id=\"${id}\">${text}</h${level}>" body "${body}")
endforeach()

get_filename_component(source_dir "${SOURCE}" DIRECTORY)
file(REMOVE_RECURSE "${OUTPUT_DIR}/pages")
string(REGEX MATCHALL "src=\"pages/[^\"]+\"" pictures "${body}")
foreach(picture IN LISTS pictures)
    string(REGEX REPLACE "^src=\"(.*)\"$" "\\1" picture "${picture}")
    if(NOT EXISTS "${source_dir}/${picture}")
        message(FATAL_ERROR "the manual shows ${picture}, which is not in ${source_dir}")
    endif()
    file(COPY "${source_dir}/${picture}" DESTINATION "${OUTPUT_DIR}/pages")
endforeach()

set(VELRA_MANUAL_BODY "${body}")
configure_file("${TEMPLATE}" "${OUTPUT_DIR}/index.html" @ONLY)
