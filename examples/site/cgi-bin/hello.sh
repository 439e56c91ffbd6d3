#!/bin/sh
# The query goes back into the page with &, < and > made harmless.
query=$(printf '%s' "$QUERY_STRING" | sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g')
printf 'Content-Type: text/html\r\n\r\n'
printf '<!DOCTYPE html><html><body><h1>Hello from a shell CGI script</h1>'
printf '<p>Query: %s</p><p>Method: %s</p></body></html>\n' "$query" "$REQUEST_METHOD"
