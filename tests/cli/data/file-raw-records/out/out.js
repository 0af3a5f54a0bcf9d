// No.1
<script>a()</script>

// No.2
<script src="x" >b</script>

