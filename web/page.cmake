# Writes the page beside the built show (cmake -P, after each link): the
# download size of the script, the WebAssembly and the data into the arrival
# panel's text, the still frame and the favicon copied beside it.
#   -DPAGE=index.html -DOUT=build dir -DSTILL=still.png -DICON=icon.png
foreach(var PAGE OUT STILL ICON)
  if(NOT ${var})
    message(FATAL_ERROR "page.cmake: ${var} is not set")
  endif()
endforeach()
foreach(file ${STILL} ${ICON})
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "page.cmake: ${file} is missing (scripts/web.sh makes it)")
  endif()
endforeach()
set(total 0)
foreach(name vintermoot.js vintermoot.wasm vintermoot.data)
  file(SIZE ${OUT}/${name} size)
  math(EXPR total "${total} + ${size}")
endforeach()
# In megabytes with one decimal, rounded.
math(EXPR tenths "(${total} + 50000) / 100000")
math(EXPR whole "${tenths} / 10")
math(EXPR decimal "${tenths} % 10")
file(READ ${PAGE} text)
string(REPLACE "@VM_DOWNLOAD@" "${whole}.${decimal} MB" text "${text}")
file(WRITE ${OUT}/index.html.part "${text}")
file(RENAME ${OUT}/index.html.part ${OUT}/index.html)
configure_file(${STILL} ${OUT}/still.png COPYONLY)
configure_file(${ICON} ${OUT}/favicon.png COPYONLY)
