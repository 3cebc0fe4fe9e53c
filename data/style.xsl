<?xml version="1.0" encoding="UTF-8"?>
<!--
  The machine-wide report: every job of the period with its totals, and
  subtotals per user and per printer. Costs are cents in the log and are
  shown as money with two decimals.

  The work grows linearly with the number of jobs. libxslt builds the
  node list of each key value with a duplicate check against the whole
  list, so one key value shared by many events costs the square of their
  number; the classic grouping on a key by user would take minutes for a
  busy year. The subtotals therefore sort the events once into a small
  tree, find where each name's run starts by looking one element back,
  and add up each run through a key whose values hold at most 64 events
  (name and block of 64 sorted positions). Processors without EXSLT's
  node-set function fall back to the classic grouping.

  The HTML keeps to what a browser and a Qt rich-text view both show
  well: tables with attributes, simple CSS, no script.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:exsl="http://exslt.org/common" exclude-result-prefixes="exsl">
  <xsl:output method="html" encoding="UTF-8" indent="yes"
              doctype-public="-//W3C//DTD HTML 4.01 Transitional//EN"
              doctype-system="http://www.w3.org/TR/html4/loose.dtd"/>

  <!-- 'table': the console's viewer shows the subtotals and the jobs itself,
       in tables that stay quick at any size; the page then holds the
       heading and the totals, and a mark that tells the viewer so. -->
  <xsl:param name="viewer" select="''"/>
  <!-- The totals; a viewer that shows the jobs itself hands them over. -->
  <xsl:param name="jobs" select="count(/log/event)"/>
  <xsl:param name="pages" select="sum(/log/event/pages)"/>
  <xsl:param name="cost" select="sum(/log/event/cost)"/>

  <!-- Jobs from the central store carry their server; only they show it. -->
  <xsl:variable name="servers" select="boolean(/log/event/server)"/>

  <xsl:variable name="block" select="64"/>
  <xsl:key name="block" match="e" use="concat(@k, '|', @b)"/>
  <xsl:key name="user" match="event" use="user"/>
  <xsl:key name="printer" match="event" use="printer"/>
  <xsl:key name="server" match="event" use="server"/>

  <xsl:template match="/">
    <html>
      <head>
        <title>Printing report: all users and printers, <xsl:value-of select="log/period"/></title>
        <style type="text/css">
          body { font-family: sans-serif; font-size: 10pt; color: #1a1a1a; background-color: #ffffff; }
          h1 { font-size: 14pt; color: #1f4e79; }
          h2 { font-size: 11pt; color: #1f4e79; }
          th { background-color: #dce6f1; }
          tr.total td { background-color: #eeeeee; }
        </style>
      </head>
      <body>
        <h1>Printing report: all users and printers</h1>
        <xsl:call-template name="summary"/>
        <xsl:choose>
          <xsl:when test="$viewer = 'table'"><a name="ostrel-viewer-table"></a></xsl:when>
          <xsl:otherwise>
        <xsl:choose>
          <xsl:when test="log/event">
            <h2>Per user</h2>
            <xsl:call-template name="subtotals">
              <xsl:with-param name="by" select="'user'"/>
              <xsl:with-param name="label" select="'User'"/>
            </xsl:call-template>
            <h2>Per printer</h2>
            <xsl:call-template name="subtotals">
              <xsl:with-param name="by" select="'printer'"/>
              <xsl:with-param name="label" select="'Printer'"/>
            </xsl:call-template>
            <xsl:if test="$servers">
              <h2>Per server</h2>
              <xsl:call-template name="subtotals">
                <xsl:with-param name="by" select="'server'"/>
                <xsl:with-param name="label" select="'Server'"/>
              </xsl:call-template>
            </xsl:if>
            <h2>Jobs</h2>
            <xsl:call-template name="jobs"/>
          </xsl:when>
          <xsl:otherwise>
            <p>No jobs were recorded in this period.</p>
          </xsl:otherwise>
        </xsl:choose>
          </xsl:otherwise>
        </xsl:choose>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="summary">
    <table id="summary" border="0" cellspacing="0" cellpadding="3">
      <tr><td>Period:</td><td id="period"><b><xsl:value-of select="log/period"/></b></td></tr>
      <tr><td>Jobs:</td><td id="total-jobs"><xsl:value-of select="$jobs"/></td></tr>
      <tr><td>Pages:</td><td id="total-pages"><xsl:value-of select="$pages"/></td></tr>
      <tr>
        <td>Cost:</td>
        <td id="total-cost">
          <xsl:call-template name="money"><xsl:with-param name="cents" select="$cost"/></xsl:call-template>
        </td>
      </tr>
    </table>
  </xsl:template>

  <!-- One row per distinct user or printer ($by names the element), in name order. -->
  <xsl:template name="subtotals">
    <xsl:param name="by"/>
    <xsl:param name="label"/>
    <table id="{$by}s" border="1" cellspacing="0" cellpadding="4" width="100%">
      <tr bgcolor="#dce6f1">
        <th align="left"><xsl:value-of select="$label"/></th>
        <th align="right">Jobs</th>
        <th align="right">Pages</th>
        <th align="right">Cost</th>
      </tr>
      <xsl:choose>
        <xsl:when test="function-available('exsl:node-set')">
          <xsl:call-template name="sorted-subtotals"><xsl:with-param name="by" select="$by"/></xsl:call-template>
        </xsl:when>
        <xsl:otherwise>
          <xsl:for-each select="log/event/*[name() = $by][generate-id(..) = generate-id(key($by, .)[1])]">
            <xsl:sort select="."/>
            <xsl:variable name="group" select="key($by, .)"/>
            <xsl:call-template name="subtotal">
              <xsl:with-param name="name" select="."/>
              <xsl:with-param name="jobs" select="count($group)"/>
              <xsl:with-param name="pages" select="sum($group/pages)"/>
              <xsl:with-param name="cents" select="sum($group/cost)"/>
            </xsl:call-template>
          </xsl:for-each>
        </xsl:otherwise>
      </xsl:choose>
    </table>
  </xsl:template>

  <xsl:template name="sorted-subtotals">
    <xsl:param name="by"/>
    <!-- The events sorted by name: i is the sorted position, b its block, k the name. -->
    <xsl:variable name="sorted-tree">
      <xsl:for-each select="log/event">
        <xsl:sort select="*[name() = $by]"/>
        <e i="{position()}" b="{floor(position() div $block)}" k="{*[name() = $by]}" p="{pages}" c="{cost}"/>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="sorted" select="exsl:node-set($sorted-tree)/e"/>
    <!-- Where each name's run starts; the next start ends it. -->
    <xsl:variable name="starts-tree">
      <xsl:for-each select="$sorted[not(@k = preceding-sibling::e[1]/@k)]">
        <s i="{@i}" k="{@k}"/>
      </xsl:for-each>
    </xsl:variable>
    <!-- key() looks in the document of the context node. -->
    <xsl:variable name="inside" select="$sorted[1]"/>
    <xsl:variable name="end" select="count($sorted) + 1"/>
    <xsl:for-each select="exsl:node-set($starts-tree)/s">
      <xsl:variable name="first" select="@i"/>
      <xsl:variable name="next">
        <xsl:choose>
          <xsl:when test="following-sibling::s"><xsl:value-of select="following-sibling::s[1]/@i"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="$end"/></xsl:otherwise>
        </xsl:choose>
      </xsl:variable>
      <xsl:variable name="name" select="string(@k)"/>
      <xsl:variable name="sums">
        <xsl:for-each select="$inside">
          <xsl:call-template name="block-sums">
            <xsl:with-param name="name" select="$name"/>
            <xsl:with-param name="from" select="floor($first div $block)"/>
            <xsl:with-param name="to" select="floor(($next - 1) div $block)"/>
          </xsl:call-template>
        </xsl:for-each>
      </xsl:variable>
      <xsl:call-template name="subtotal">
        <xsl:with-param name="name" select="$name"/>
        <xsl:with-param name="jobs" select="$next - $first"/>
        <xsl:with-param name="pages" select="substring-before($sums, ' ')"/>
        <xsl:with-param name="cents" select="substring-after($sums, ' ')"/>
      </xsl:call-template>
    </xsl:for-each>
  </xsl:template>

  <!--
    Pages and cents of one name's events in blocks $from to $to, as the text
    "pages cents". The range is halved at each call, so the depth of the
    calls grows only with the logarithm of the number of blocks.
  -->
  <xsl:template name="block-sums">
    <xsl:param name="name"/>
    <xsl:param name="from"/>
    <xsl:param name="to"/>
    <xsl:choose>
      <xsl:when test="$from = $to">
        <xsl:variable name="events" select="key('block', concat($name, '|', $from))"/>
        <xsl:value-of select="concat(sum($events/@p), ' ', sum($events/@c))"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="middle" select="floor(($from + $to) div 2)"/>
        <xsl:variable name="left">
          <xsl:call-template name="block-sums">
            <xsl:with-param name="name" select="$name"/>
            <xsl:with-param name="from" select="$from"/>
            <xsl:with-param name="to" select="$middle"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:variable name="right">
          <xsl:call-template name="block-sums">
            <xsl:with-param name="name" select="$name"/>
            <xsl:with-param name="from" select="$middle + 1"/>
            <xsl:with-param name="to" select="$to"/>
          </xsl:call-template>
        </xsl:variable>
        <xsl:value-of select="concat(substring-before($left, ' ') + substring-before($right, ' '), ' ',
                                     substring-after($left, ' ') + substring-after($right, ' '))"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="subtotal">
    <xsl:param name="name"/>
    <xsl:param name="jobs"/>
    <xsl:param name="pages"/>
    <xsl:param name="cents"/>
    <tr class="subtotal">
      <td class="name"><xsl:value-of select="$name"/></td>
      <td class="jobs" align="right"><xsl:value-of select="$jobs"/></td>
      <td class="pages" align="right"><xsl:value-of select="$pages"/></td>
      <td class="cost" align="right">
        <xsl:call-template name="money"><xsl:with-param name="cents" select="$cents"/></xsl:call-template>
      </td>
    </tr>
  </xsl:template>

  <xsl:template name="jobs">
    <table id="jobs" border="1" cellspacing="0" cellpadding="4" width="100%">
      <tr bgcolor="#dce6f1">
        <th align="left">Date</th>
        <th align="left">Time</th>
        <th align="left">Document</th>
        <th align="left">User</th>
        <th align="left">Printer</th>
        <xsl:if test="$servers"><th align="left">Server</th></xsl:if>
        <th align="right">Pages</th>
        <th align="right">Cost</th>
      </tr>
      <xsl:for-each select="log/event">
        <tr class="job">
          <td><xsl:value-of select="concat(year, '-', month, '-', day)"/></td>
          <td><xsl:value-of select="concat(hour, ':', min)"/></td>
          <td><xsl:value-of select="doc"/></td>
          <td><xsl:value-of select="user"/></td>
          <td><xsl:value-of select="printer"/></td>
          <xsl:if test="$servers"><td><xsl:value-of select="server"/></td></xsl:if>
          <td align="right"><xsl:value-of select="pages"/></td>
          <td align="right">
            <xsl:call-template name="money"><xsl:with-param name="cents" select="cost"/></xsl:call-template>
          </td>
        </tr>
      </xsl:for-each>
      <tr class="total" bgcolor="#eeeeee">
        <td colspan="{5 + $servers}"><b>Total</b></td>
        <td align="right"><b><xsl:value-of select="$pages"/></b></td>
        <td align="right">
          <b><xsl:call-template name="money"><xsl:with-param name="cents" select="$cost"/></xsl:call-template></b>
        </td>
      </tr>
    </table>
  </xsl:template>

  <xsl:template name="money">
    <xsl:param name="cents"/>
    <xsl:value-of select="format-number($cents div 100, '#,##0.00')"/>
  </xsl:template>
</xsl:stylesheet>
